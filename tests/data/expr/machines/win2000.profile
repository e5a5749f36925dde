# Windows 2000 Professional SP4
os.version = 5.0.2195
os.platform = 2
os.product_type = 1
cpu.architecture = 0
os.service_pack = 4.0
