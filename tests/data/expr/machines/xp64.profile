# Windows XP Professional x64 Edition SP2
os.version = 5.2.3790
os.platform = 2
os.product_type = 1
cpu.architecture = 9
os.service_pack = 2.0
