// Win32Machine: operating system, hardware, registry and files.
#include "updater/expr/machine_win32.h"

#include "framework/reg_key.h"

#include <windows.h>

#include <setupapi.h>

#include <memory>
#include <vector>

namespace zvexpr {

namespace {

HKEY RootKey(RegRoot root)
{
    switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::Users: return HKEY_USERS;
    case RegRoot::LocalMachine: break;
    }
    return HKEY_LOCAL_MACHINE;
}

bool IsMissing(LONG error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

template <typename Fn>
Fn Kernel32Function(const char* name)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

// The USB hub device interface class.
const GUID kUsbHubInterface = {0xf18a0e88, 0xc30c, 0x11d0, {0x88, 0x15, 0x00, 0xa0, 0xc9, 0x06, 0xbe, 0xd8}};

struct DeviceInfoSetDeleter {
    void operator()(void* set) const { SetupDiDestroyDeviceInfoList(static_cast<HDEVINFO>(set)); }
};

} // namespace

bool Win32Machine::GetOsVersion(OsVersion& out)
{
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) return false;
    out.major = v.dwMajorVersion;
    out.minor = v.dwMinorVersion;
    out.build = v.dwBuildNumber;
    out.platformId = v.dwPlatformId;
    out.servicePackMajor = v.wServicePackMajor;
    out.servicePackMinor = v.wServicePackMinor;
    out.productType = v.wProductType;
    return true;
}

int Win32Machine::NativeArchitecture()
{
    using NativeInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    SYSTEM_INFO si{};
    if (auto native = Kernel32Function<NativeInfoFn>("GetNativeSystemInfo")) native(&si);
    else GetSystemInfo(&si);
    return si.wProcessorArchitecture;
}

uint32_t Win32Machine::ProcessorCount()
{
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    return si.dwNumberOfProcessors;
}

bool Win32Machine::GetMemory(uint64_t& totalBytes, uint64_t& availableBytes)
{
    using MemoryStatusFn = BOOL(WINAPI*)(LPMEMORYSTATUSEX);
    auto status = Kernel32Function<MemoryStatusFn>("GlobalMemoryStatusEx");
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    if (!status || !status(&m)) return false;
    totalBytes = m.ullTotalPhys;
    availableBytes = m.ullAvailPhys;
    return true;
}

bool Win32Machine::GetPowerStatus(PowerStatus& out)
{
    SYSTEM_POWER_STATUS s{};
    if (!GetSystemPowerStatus(&s)) return false;
    out.acLineStatus = s.ACLineStatus;
    out.batteryLifePercent = s.BatteryLifePercent;
    return true;
}

bool Win32Machine::GetDisplayMode(DisplayMode& out)
{
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    out.width = static_cast<uint32_t>(GetDeviceCaps(screen, HORZRES));
    out.height = static_cast<uint32_t>(GetDeviceCaps(screen, VERTRES));
    out.bitsPerPixel = static_cast<uint32_t>(GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(nullptr, screen);
    return true;
}

uint32_t Win32Machine::UsbHubCount()
{
    HDEVINFO set = SetupDiGetClassDevsW(&kUsbHubInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return 0;
    std::unique_ptr<void, DeviceInfoSetDeleter> owner(set);
    uint32_t count = 0;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    while (SetupDiEnumDeviceInterfaces(set, nullptr, &kUsbHubInterface, count, &data)) ++count;
    return count;
}

RegQuery Win32Machine::ReadRegValue(RegRoot root, const std::wstring& subkey, const std::wstring& name, RegData& out)
{
    fw::CRegKey key;
    LONG error = key.Open(RootKey(root), subkey, KEY_READ);
    if (error != ERROR_SUCCESS) return IsMissing(error) ? RegQuery::Missing : RegQuery::Failed;
    // Size first, then the data; a value that grows in between is read again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        error = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size);
        if (error != ERROR_SUCCESS) return IsMissing(error) ? RegQuery::Missing : RegQuery::Failed;
        std::vector<uint8_t> bytes(size);
        error = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, bytes.empty() ? nullptr : bytes.data(), &size);
        if (error == ERROR_MORE_DATA) continue;
        if (error != ERROR_SUCCESS) return IsMissing(error) ? RegQuery::Missing : RegQuery::Failed;
        bytes.resize(size);
        out.type = type;
        out.bytes = std::move(bytes);
        return RegQuery::Ok;
    }
    return RegQuery::Failed;
}

bool Win32Machine::RegKeyExists(RegRoot root, const std::wstring& subkey)
{
    fw::CRegKey key;
    return key.Open(RootKey(root), subkey, KEY_READ) == ERROR_SUCCESS;
}

bool Win32Machine::RegValueExists(RegRoot root, const std::wstring& subkey, const std::wstring& name)
{
    fw::CRegKey key;
    if (key.Open(RootKey(root), subkey, KEY_READ) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG error = RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, &size);
    return error == ERROR_SUCCESS || error == ERROR_MORE_DATA;
}

bool Win32Machine::WriteRegString(RegRoot root, const std::wstring& subkey, const std::wstring& name, const std::wstring& text)
{
    fw::CRegKey key;
    if (key.Open(RootKey(root), subkey, KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

FileKind Win32Machine::GetFileKind(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Directory : FileKind::File;
}

bool Win32Machine::GetFileVersion(const std::wstring& path, uint16_t parts[4])
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info || length < sizeof *info) return false;
    parts[0] = HIWORD(info->dwFileVersionMS);
    parts[1] = LOWORD(info->dwFileVersionMS);
    parts[2] = HIWORD(info->dwFileVersionLS);
    parts[3] = LOWORD(info->dwFileVersionLS);
    return true;
}

bool Win32Machine::GetAvailableDiskBytes(const std::wstring& path, uint64_t& bytes)
{
    // The volume that holds the path, even when the path itself does not exist yet.
    wchar_t volume[MAX_PATH + 1] = {};
    std::wstring where = GetVolumePathNameW(path.c_str(), volume, MAX_PATH) ? std::wstring(volume) : path;
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(where.c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
}

bool Win32Machine::GetSystemFolder(std::wstring& out)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return false;
    out.assign(buffer, n);
    return true;
}

} // namespace zvexpr
