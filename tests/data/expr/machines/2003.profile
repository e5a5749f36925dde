# Windows Server 2003 R2 x64
os.version = 5.2.3790
os.platform = 2
os.product_type = 3
cpu.architecture = 9
os.service_pack = 2.0
