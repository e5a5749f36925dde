#include "launcher/receiver_watcher.h"

#include "launcher/hid_functions.h"
#include "launcher/launcher_messages.h"
#include "launcher/receiver_ids.h"
#include "updater/base/log.h"

#include <dbt.h>

#include <cstddef>
#include <cwchar>

namespace zv::launcher {
namespace {

// GUID_DEVCLASS_HIDCLASS: with DEVICE_NOTIFY_ALL_INTERFACE_CLASSES the filter's class is not
// used for filtering, ExamineArrival does that.
constexpr GUID kHidDeviceClass = {0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};

struct PreparsedDataTraits {
    using Handle = PHIDP_PREPARSED_DATA;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { HidFunctions::Instance().FreePreparsedData(h); }
};
using CPreparsedData = fw::UniqueHandle<PreparsedDataTraits>;

// Reads the interface name of a broadcast without going past its declared size.
bool ReadInterfaceBroadcast(LPARAM data, GUID* cls, std::wstring* path)
{
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header->dbch_size < sizeof(DEV_BROADCAST_HDR) || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return false;
    constexpr size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (header->dbch_size < nameOffset) return false;
    const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
    size_t maxChars = (header->dbch_size - nameOffset) / sizeof(wchar_t);
    *cls = broadcast->dbcc_classguid;
    path->assign(broadcast->dbcc_name, ::wcsnlen(broadcast->dbcc_name, maxChars));
    return true;
}

} // namespace

ReceiverMatch ReceiverMatch::Product()
{
    return {kReceiverVendorId, kReceiverProductId, kReceiverUsagePage};
}

bool TrackedReceiver::SameInterface(const GUID& cls, const std::wstring& path) const noexcept
{
    return ::IsEqualGUID(interfaceClass, cls) && path.size() == devicePath.size() &&
           ::CompareStringOrdinal(devicePath.c_str(), static_cast<int>(devicePath.size()), path.c_str(),
                                  static_cast<int>(path.size()), TRUE) == CSTR_EQUAL;
}

bool TrackedReceiver::operator==(const TrackedReceiver& other) const noexcept
{
    return identity.vendorId == other.identity.vendorId && identity.productId == other.identity.productId &&
           identity.usagePage == other.identity.usagePage && SameInterface(other.interfaceClass, other.devicePath);
}

CReceiverWatcher::~CReceiverWatcher()
{
    Stop();
}

bool CReceiverWatcher::Start(HINSTANCE instance, HWND target)
{
    m_target = target;
    if (!RegisterWndClass(instance, kReceiverWatcherWndClass, CS_HREDRAW | CS_VREDRAW,
                          reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1))))
        return false;
    if (!CreateEx(0, kReceiverWatcherWndClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 500, 100,
                  nullptr, nullptr, instance))
        return false;

    const HidFunctions& hid = HidFunctions::Instance();
    if (!hid.GetHidGuid(&m_hidClass)) zv::Log().Log(zv::ZVLOG_INFO1, L"Launcher: no HID library, receivers go unseen");

    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kHidDeviceClass;
    m_notify.Reset(::RegisterDeviceNotificationW(GetSafeHwnd(), &filter,
                                                 DEVICE_NOTIFY_WINDOW_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES));
    if (!m_notify)
        zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: no device notifications (%u)", static_cast<unsigned>(::GetLastError()));
    EnumeratePresentDevices();
    return true;
}

void CReceiverWatcher::Stop() noexcept
{
    m_notify.Reset();
    m_tracked.clear();
    DestroyWindow();
}

LRESULT CReceiverWatcher::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        return TRUE; // logging off may proceed
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam, lParam);
        return Default(message, wParam, lParam);
    default:
        return Default(message, wParam, lParam);
    }
}

void CReceiverWatcher::OnDeviceChange(WPARAM event, LPARAM data)
{
    // Only these two events carry a broadcast; the others may have no data at all.
    if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || data == 0) return;
    GUID cls{};
    std::wstring path;
    if (!ReadInterfaceBroadcast(data, &cls, &path)) return;
    if (event == DBT_DEVICEARRIVAL)
        ExamineArrival(cls, path);
    else
        OnRemoval(cls, path);
}

void CReceiverWatcher::ExamineArrival(const GUID& interfaceClass, const std::wstring& devicePath)
{
    if (!::IsEqualGUID(interfaceClass, m_hidClass) || devicePath.empty()) return;
    TrackedReceiver record{ReadIdentity(devicePath), devicePath, interfaceClass};
    if (!m_match.Matches(record.identity)) return;
    bool known = false;
    for (const TrackedReceiver& r : m_tracked) known = known || r == record;
    if (!known) m_tracked.push_back(std::move(record));
    // Every arrival is told, also of an interface already tracked.
    Post(WM_ZV_RECEIVER_ARRIVED);
}

void CReceiverWatcher::OnRemoval(const GUID& interfaceClass, const std::wstring& devicePath)
{
    for (auto it = m_tracked.begin(); it != m_tracked.end(); ++it) {
        if (it->SameInterface(interfaceClass, devicePath)) {
            m_tracked.erase(it);
            Post(WM_ZV_RECEIVER_REMOVED);
            return;
        }
    }
}

void CReceiverWatcher::Post(UINT message) noexcept
{
    if (!m_target || !::PostMessageW(m_target, message, 0, 0))
        zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: receiver message 0x%x not delivered (%u)", message,
                    static_cast<unsigned>(::GetLastError()));
}

HidIdentity CReceiverWatcher::ReadIdentity(const std::wstring& devicePath)
{
    HidIdentity id;
    fw::CHandle device(::CreateFileW(devicePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    if (!device) return id;
    const HidFunctions& hid = HidFunctions::Instance();
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    if (hid.GetAttributes(device.Get(), &attributes)) {
        id.vendorId = attributes.VendorID;
        id.productId = attributes.ProductID;
    }
    CPreparsedData preparsed;
    if (hid.GetPreparsedData(device.Get(), preparsed.Put())) {
        HIDP_CAPS caps{};
        if (hid.GetCaps(preparsed.Get(), &caps)) id.usagePage = caps.UsagePage;
    }
    return id;
}

} // namespace zv::launcher
