// The present HID interfaces through SetupAPI, and the process-wide watcher.
#include "launcher/receiver_watcher.h"

#include "framework/device_info.h"
#include "updater/base/log.h"

#include <setupapi.h>

#include <cstddef>
#include <cwchar>
#include <memory>

namespace zv::launcher {
namespace {

// One interface's device path, any length; empty when it cannot be read.
std::wstring InterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data)
{
    DWORD size = 0;
    ::SetupDiGetDeviceInterfaceDetailW(set, data, nullptr, 0, &size, nullptr);
    constexpr size_t pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    if (size <= pathOffset) return {};
    // Storage aligned for the structure's DWORD member.
    auto storage = std::make_unique<DWORD[]>(size / sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!::SetupDiGetDeviceInterfaceDetailW(set, data, detail, size, nullptr, nullptr)) return {};
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
    zv::fw::CDeviceInfoSet set(::SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE));
    if (!set) return 0;
    int examined = 0;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof(data);
        if (!::SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &hidClass, index, &data)) break;
        std::wstring path = InterfacePath(set.Get(), &data);
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
