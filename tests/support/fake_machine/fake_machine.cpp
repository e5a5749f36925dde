// FakeMachine: the in-memory machine (its profile reader is in fake_machine_profile.cpp).
#include "support/fake_machine/fake_machine.h"

#include "updater/expr/registry_path.h"

#include <cwctype>

namespace zv::expr {

namespace {

std::wstring Lower(std::wstring s)
{
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

std::wstring Upper(std::wstring s)
{
    for (auto& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return s;
}

std::wstring TrimSlashes(std::wstring s)
{
    while (!s.empty() && (s.back() == L'\\' || s.back() == L'/')) s.pop_back();
    return s;
}

// What a fresh Wine prefix reports: 64-bit Windows 7 SP1.
const wchar_t kDefaultProfile[] = LR"(
os.version = 6.1.7601
os.platform = 2
os.service_pack = 1.0
os.product_type = 1
cpu.architecture = 9
display = 1024x768x32
system_dir = C:\windows\system32
program_dir = C:\Program Files\Quorvane\VeskLaunch
env WINDIR = C:\windows
env TEMP = C:\users\user\Temp
folder 36 = C:\windows
folder 37 = C:\windows\system32
folder 26 = C:\users\user\AppData\Roaming
folder 5 = C:\users\user\Documents\
folder 38 = C:\Program Files
folder 35 = C:\ProgramData
dir C:\windows
dir C:\windows\system32
file C:\windows\system32\msi.dll = 5.0.7601.17514
disk C:\ = 51200
reg HKEY_LOCAL_MACHINE\HARDWARE\DESCRIPTION\System\CentralProcessor\0 | ~MHz = dword:2400
reg HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion | ProgramFilesDir = sz:C:\Program Files
reg HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\DirectX | Version = sz:4.09.00.0904
)";

} // namespace

FakeMachine::FakeMachine()
{
    std::wstring error;
    LoadProfile(kDefaultProfile, error);
}

void FakeMachine::SetOs(uint32_t major, uint32_t minor, uint32_t build, uint8_t productType, int arch)
{
    osReadable = true;
    os.major = major;
    os.minor = minor;
    os.build = build;
    os.productType = productType;
    architecture = arch;
}

std::wstring FakeMachine::KeyName(RegRoot root, const std::wstring& subkey)
{
    return Lower(std::wstring(RegRootName(root)) + L"\\" + TrimSlashes(subkey));
}

void FakeMachine::AddRegKey(RegRoot root, const std::wstring& subkey)
{
    // A key implies its parents.
    std::wstring name = KeyName(root, subkey);
    for (size_t pos = name.find(L'\\'); pos != std::wstring::npos; pos = name.find(L'\\', pos + 1)) m_keys[name.substr(0, pos)];
    m_keys[name];
}

void FakeMachine::SetRegValue(RegRoot root, const std::wstring& subkey, const std::wstring& name, const RegData& data)
{
    AddRegKey(root, subkey);
    m_keys[KeyName(root, subkey)].values[Lower(name)] = data;
}

void FakeMachine::AddFile(const std::wstring& path, bool hasVersion, const uint16_t version[4])
{
    File f;
    f.hasVersion = hasVersion && version;
    if (f.hasVersion)
        for (int i = 0; i < 4; ++i) f.version[i] = version[i];
    m_files[Lower(path)] = f;
}

void FakeMachine::AddDirectory(const std::wstring& path)
{
    File f;
    f.directory = true;
    m_files[Lower(TrimSlashes(path))] = f;
}

void FakeMachine::SetEnvironment(const std::wstring& name, const std::wstring& value)
{
    m_environment[Upper(name)] = value;
}

void FakeMachine::AddWindow(uint64_t handle, const std::wstring& className, const std::wstring& title)
{
    m_windows.push_back(Window{handle, className, title});
}

bool FakeMachine::GetOsVersion(OsVersion& out)
{
    if (!osReadable) return false;
    out = os;
    return true;
}

int FakeMachine::NativeArchitecture()
{
    return architecture;
}

uint32_t FakeMachine::ProcessorCount()
{
    return processors;
}

bool FakeMachine::GetMemory(uint64_t& totalBytes, uint64_t& availableBytes)
{
    if (!memoryReadable) return false;
    totalBytes = memoryTotal;
    availableBytes = memoryAvailable;
    return true;
}

bool FakeMachine::GetPowerStatus(PowerStatus& out)
{
    if (!powerReadable) return false;
    out = power;
    return true;
}

bool FakeMachine::GetDisplayMode(DisplayMode& out)
{
    if (!displayReadable) return false;
    out = display;
    return true;
}

uint32_t FakeMachine::UsbHubCount()
{
    return usbHubs;
}

RegQuery FakeMachine::ReadRegValue(RegRoot root, const std::wstring& subkey, const std::wstring& name, RegData& out)
{
    std::wstring key = KeyName(root, subkey);
    if (m_deniedKeys.count(key)) return RegQuery::Failed;
    auto k = m_keys.find(key);
    if (k == m_keys.end()) return RegQuery::Missing;
    auto v = k->second.values.find(Lower(name));
    if (v == k->second.values.end()) return RegQuery::Missing;
    out = v->second;
    return RegQuery::Ok;
}

bool FakeMachine::RegKeyExists(RegRoot root, const std::wstring& subkey)
{
    return m_keys.count(KeyName(root, subkey)) != 0;
}

bool FakeMachine::RegValueExists(RegRoot root, const std::wstring& subkey, const std::wstring& name)
{
    RegData data;
    return ReadRegValue(root, subkey, name, data) == RegQuery::Ok;
}

bool FakeMachine::WriteRegString(RegRoot root, const std::wstring& subkey, const std::wstring& name, const std::wstring& text)
{
    std::wstring key = KeyName(root, subkey);
    if (!m_keys.count(key) || m_deniedKeys.count(key)) return false;
    m_keys[key].values[Lower(name)] = RegData{ZV_REG_SZ, RegStringBytes(text)};
    return true;
}

FileKind FakeMachine::GetFileKind(const std::wstring& path)
{
    auto it = m_files.find(Lower(TrimSlashes(path)));
    if (it == m_files.end()) return FileKind::Missing;
    return it->second.directory ? FileKind::Directory : FileKind::File;
}

bool FakeMachine::GetFileVersion(const std::wstring& path, uint16_t parts[4])
{
    auto it = m_files.find(Lower(path));
    if (it == m_files.end() || !it->second.hasVersion) return false;
    for (int i = 0; i < 4; ++i) parts[i] = it->second.version[i];
    return true;
}

bool FakeMachine::GetAvailableDiskBytes(const std::wstring& path, uint64_t& bytes)
{
    std::wstring p = Lower(path);
    size_t best = 0;
    bool found = false;
    for (const auto& [prefix, freeBytes] : m_disks) {
        if (p.compare(0, prefix.size(), prefix) == 0 && prefix.size() >= best) {
            best = prefix.size();
            bytes = freeBytes;
            found = true;
        }
    }
    return found;
}

bool FakeMachine::GetSystemFolder(std::wstring& out)
{
    if (systemDir.empty()) return false;
    out = systemDir;
    return true;
}

bool FakeMachine::OpenInstalledProduct(const std::wstring& productCode, std::wstring& productVersion)
{
    auto it = m_products.find(Lower(productCode));
    if (it == m_products.end()) return false;
    productVersion = it->second;
    return true;
}

bool FakeMachine::ReadPackageProduct(const std::wstring& packagePath, std::wstring& productCode, std::wstring& productVersion)
{
    auto it = m_packages.find(Lower(packagePath));
    if (it == m_packages.end()) return false;
    productCode = it->second.code;
    productVersion = it->second.version;
    return true;
}

uint64_t FakeMachine::FindTopLevelWindow(const std::wstring* className, const std::wstring* title)
{
    for (const auto& w : m_windows) {
        // Window classes compare case-insensitively, titles exactly, as FindWindow does.
        if (className && Lower(*className) != Lower(w.className)) continue;
        if (title && *title != w.title) continue;
        return w.handle;
    }
    return 0;
}

void FakeMachine::PostWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam)
{
    messages.push_back(Message{window, message, wParam, lParam, false});
}

void FakeMachine::SendWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam)
{
    messages.push_back(Message{window, message, wParam, lParam, true});
}

uint32_t FakeMachine::RegisterWindowMessageName(const std::wstring& name)
{
    // Registered messages live in 0xC000..0xFFFF; one number per name, case-insensitively.
    auto [it, added] = m_registeredMessages.emplace(Lower(name), 0xC000u + static_cast<uint32_t>(m_registeredMessages.size()));
    (void)added;
    return it->second;
}

void FakeMachine::ShowAlert(const std::wstring& text)
{
    alerts.push_back(text);
}

bool FakeMachine::GetEnvironment(const std::wstring& name, std::wstring& value)
{
    auto it = m_environment.find(Upper(name));
    if (it == m_environment.end()) return false;
    value = it->second;
    return true;
}

bool FakeMachine::GetSpecialFolder(int csidl, std::wstring& path, std::wstring& errorStep, long& errorCode)
{
    auto it = folders.find(csidl);
    if (it == folders.end()) {
        errorStep = L"SHGetSpecialFolderLocation";
        errorCode = static_cast<long>(0x80070002L); // file not found as an HRESULT
        return false;
    }
    path = it->second;
    return true;
}

std::wstring FakeMachine::ProgramDirectory()
{
    return programDir;
}

bool FakeMachine::GetUiLanguage(std::wstring& abbreviation, uint16_t& id)
{
    if (languageAbbreviation.empty()) return false;
    abbreviation = languageAbbreviation;
    id = languageId;
    return true;
}

} // namespace zv::expr
