# Windows Server 2008 R2 SP1, domain controller
os.version = 6.1.7601
os.platform = 2
os.product_type = 2
cpu.architecture = 9
os.service_pack = 1.0
