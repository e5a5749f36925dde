# A machine whose version cannot be read
os.readable = 0
cpu.architecture = 6
