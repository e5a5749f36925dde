// Win32Machine: operating system and hardware.
#include "updater/expr/win32/machine_win32.h"

#include "framework/device_info.h"
#include "framework/handle.h"

#include <windows.h>

#include <setupapi.h>

namespace zv::expr {

namespace {

template <typename Fn>
Fn Kernel32Function(const char* name)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

// The USB hub device interface class.
const GUID kUsbHubInterface = {0xf18a0e88, 0xc30c, 0x11d0, {0x88, 0x15, 0x00, 0xa0, 0xc9, 0x06, 0xbe, 0xd8}};

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
    zv::fw::CScreenDc screen(GetDC(nullptr));
    if (!screen) return false;
    out.width = static_cast<uint32_t>(GetDeviceCaps(screen.Get(), HORZRES));
    out.height = static_cast<uint32_t>(GetDeviceCaps(screen.Get(), VERTRES));
    out.bitsPerPixel = static_cast<uint32_t>(GetDeviceCaps(screen.Get(), BITSPIXEL));
    return true;
}

uint32_t Win32Machine::UsbHubCount()
{
    zv::fw::CDeviceInfoSet set(SetupDiGetClassDevsW(&kUsbHubInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set) return 0;
    uint32_t count = 0;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    while (SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &kUsbHubInterface, count, &data)) ++count;
    return count;
}

IMachine& PlatformMachine()
{
    static Win32Machine machine;
    return machine;
}

} // namespace zv::expr
