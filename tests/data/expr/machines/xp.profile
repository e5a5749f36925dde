# Windows XP SP3 (32-bit)
os.version = 5.1.2600
os.platform = 2
os.product_type = 1
cpu.architecture = 0
os.service_pack = 3.0
