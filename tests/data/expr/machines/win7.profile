# Windows 7 SP1 x64
os.version = 6.1.7601
os.platform = 2
os.product_type = 1
cpu.architecture = 9
os.service_pack = 1.0
