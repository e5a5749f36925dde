# Windows Server 2008 SP2 x64
os.version = 6.0.6002
os.platform = 2
os.product_type = 3
cpu.architecture = 9
os.service_pack = 2.0
