// The present HID interfaces through SetupAPI, and the process-wide watcher.
#include "launcher/receiver_watcher.h"

#include "framework/handle.h"
#include "updater/base/log.h"

#include <setupapi.h>

#include <cstddef>
#include <cwchar>
#include <memory>

namespace zv::launcher {
namespace {

// SetupAPI for one walk over the present devices. The launcher needs it only at start, so
// it is loaded for the walk and let go afterwards instead of staying mapped while idle.
class CSetupApi {
public:
    CSetupApi() noexcept : m_module(::LoadLibraryW(L"setupapi.dll"))
    {
        if (!m_module) return;
        Bind("SetupDiGetClassDevsW", getClassDevs);
        Bind("SetupDiEnumDeviceInterfaces", enumInterfaces);
        Bind("SetupDiGetDeviceInterfaceDetailW", getInterfaceDetail);
        Bind("SetupDiDestroyDeviceInfoList", destroyInfoList);
    }
    bool IsBound() const noexcept { return getClassDevs && enumInterfaces && getInterfaceDetail && destroyInfoList; }

    decltype(&::SetupDiGetClassDevsW) getClassDevs = nullptr;
    decltype(&::SetupDiEnumDeviceInterfaces) enumInterfaces = nullptr;
    decltype(&::SetupDiGetDeviceInterfaceDetailW) getInterfaceDetail = nullptr;
    decltype(&::SetupDiDestroyDeviceInfoList) destroyInfoList = nullptr;

private:
    template <class Fn>
    void Bind(const char* name, Fn& fn) noexcept
    {
        fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(m_module.Get(), name)));
    }
    fw::CModule m_module;
};

// A device-information set, destroyed through the library that made it.
class CDeviceSet {
public:
    CDeviceSet(const CSetupApi& api, HDEVINFO set) noexcept : m_api(api), m_set(set) {}
    ~CDeviceSet()
    {
        if (*this) m_api.destroyInfoList(m_set);
    }
    CDeviceSet(const CDeviceSet&) = delete;
    CDeviceSet& operator=(const CDeviceSet&) = delete;
    explicit operator bool() const noexcept { return m_set != nullptr && m_set != INVALID_HANDLE_VALUE; }
    HDEVINFO Get() const noexcept { return m_set; }

private:
    const CSetupApi& m_api;
    HDEVINFO m_set;
};

// One interface's device path, any length; empty when it cannot be read.
std::wstring InterfacePath(const CSetupApi& api, HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data)
{
    DWORD size = 0;
    api.getInterfaceDetail(set, data, nullptr, 0, &size, nullptr);
    constexpr size_t pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    if (size <= pathOffset) return {};
    // Storage aligned for the structure's DWORD member.
    auto storage = std::make_unique<DWORD[]>(size / sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!api.getInterfaceDetail(set, data, detail, size, nullptr, nullptr)) return {};
    return std::wstring(detail->DevicePath, ::wcsnlen(detail->DevicePath, (size - pathOffset) / sizeof(wchar_t)));
}

CReceiverWatcher*& ProcessWatcher()
{
    static CReceiverWatcher* watcher = nullptr;
    return watcher;
}

} // namespace

int CReceiverWatcher::EnumeratePresentDevices()
{
    GUID hidClass = m_hidClass;
    if (hidClass == GUID{}) return 0;
    const CSetupApi api;
    if (!api.IsBound()) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: no SetupAPI (%u), present receivers go unseen",
                    static_cast<unsigned>(::GetLastError()));
        return 0;
    }
    CDeviceSet set(api, api.getClassDevs(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE));
    if (!set) return 0;
    int examined = 0;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof(data);
        if (!api.enumInterfaces(set.Get(), nullptr, &hidClass, index, &data)) break;
        std::wstring path = InterfacePath(api, set.Get(), &data);
        if (path.empty()) {
            // One unreadable interface must not hide the ones after it.
            zv::Log().Log(zv::ZVLOG_INFO1, L"Launcher: HID interface %u unreadable (%u), skipped", static_cast<unsigned>(index),
                        static_cast<unsigned>(::GetLastError()));
            continue;
        }
        ExamineArrival(data.InterfaceClassGuid, path);
        ++examined;
    }
    return examined;
}

bool StartReceiverWatcher(HINSTANCE instance, HWND target)
{
    CReceiverWatcher*& watcher = ProcessWatcher();
    if (watcher) return false; // one watcher per process
    watcher = new CReceiverWatcher();
    if (watcher->Start(instance, target)) return true;
    delete watcher;
    watcher = nullptr;
    return false;
}

void StopReceiverWatcher() noexcept
{
    CReceiverWatcher*& watcher = ProcessWatcher();
    delete watcher;
    watcher = nullptr;
}

} // namespace zv::launcher
