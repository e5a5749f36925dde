# Windows Server 2012
os.version = 6.2.9200
os.platform = 2
os.product_type = 3
cpu.architecture = 9
os.service_pack = 0.0
