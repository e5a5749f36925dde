# Windows NT 4.0 workstation SP6
os.version = 4.0.1381
os.platform = 2
os.product_type = 1
cpu.architecture = 0
os.service_pack = 6.0
