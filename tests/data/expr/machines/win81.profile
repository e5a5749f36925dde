# Windows 8.1 x64 (manifested)
os.version = 6.3.9600
os.platform = 2
os.product_type = 1
cpu.architecture = 9
os.service_pack = 0.0
