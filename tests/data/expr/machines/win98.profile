# Windows 98 SE
os.version = 4.10.2222
os.platform = 1
os.product_type = 1
cpu.architecture = 0
os.service_pack = 0.0
