# Windows 10 22H2 x64 (manifested)
os.version = 10.0.19045
os.platform = 2
os.product_type = 1
cpu.architecture = 9
os.service_pack = 0.0
