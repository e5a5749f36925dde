# A machine with something of everything, for the function tests.
os.version = 6.1.7601
os.platform = 2
os.product_type = 1
os.service_pack = 1.0
cpu.architecture = 9
cpu.count = 8
memory.total_mib = 16384
memory.available_mib = 9000
power.ac_line = 0
power.battery_percent = 42
display = 1920x1080x32
usb.hubs = 3
system_dir = C:\windows\system32
program_dir = C:\Program Files\Quorvane\VeskLaunch
language = DEU 0x0407
env TEMP = C:\users\me\Temp\
env WINDIR = C:\windows
folder 36 = C:\windows
folder 37 = C:\windows\system32
folder 26 = C:\users\me\AppData\Roaming
folder 5 = C:\users\me\Documents\
folder 38 = C:\Program Files
folder 35 = C:\ProgramData
reg HKEY_CURRENT_USER\Software\ZvTest | Five = dword:5
reg HKEY_CURRENT_USER\Software\ZvTest | Text = sz:hello
reg HKEY_CURRENT_USER\Software\ZvTest | Expand = expand_sz:%WINDIR%\x
reg HKEY_CURRENT_USER\Software\ZvTest | Big = qword:0x123456789
reg HKEY_CURRENT_USER\Software\ZvTest | List = multi_sz:one|two
reg HKEY_CURRENT_USER\Software\ZvTest | Bin = binary:00ff10
reg HKEY_CURRENT_USER\Software\ZvTest | Odd = none:
reg HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion | ProgramFilesDir = sz:C:\Program Files
reg HKEY_LOCAL_MACHINE\HARDWARE\DESCRIPTION\System\CentralProcessor\0 | ~MHz = dword:3200
reg HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\DirectX | Version = sz:4.09.00.0904
regkey HKEY_CURRENT_USER\Software\Quorvane\Install
regdenied HKEY_LOCAL_MACHINE\SECURITY\Locked
file C:\windows\system32\msi.dll = 5.0.7601.17514
file C:\Program Files\App\app.exe = 2.40.40.7
file C:\data\plain.txt = -
dir C:\Program Files\App
disk C:\ = 2048
disk D:\ = 5000000000
msi.product {11111111-2222-3333-4444-555555555555} = 1.2.3
msi.package C:\pkgs\same.msi = {11111111-2222-3333-4444-555555555555} 1.2.3
msi.package C:\pkgs\newer.msi = {11111111-2222-3333-4444-555555555555} 1.3.0
msi.package C:\pkgs\other.msi = {99999999-2222-3333-4444-555555555555} 1.0
window 0x10010 = VeskWndClass | Vesk Tandemix
window 0x1234567890 = WideHandleClass | Wide
