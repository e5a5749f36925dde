#pragma once
// Watches the product's USB receiver being plugged in and removed: a hidden notification
// window, the present devices at start and device-change notifications afterwards. Tells
// the target window of every arrival (0x8002) and of every removal of a tracked interface
// (0x8003).
#include "framework/handle.h"
#include "framework/wnd.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zv::launcher {

inline constexpr wchar_t kReceiverWatcherWndClass[] = L"QUOR_VESK_TANDEMIX_APP";

struct HidIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t usagePage = 0;
};

// Which interfaces count as the receiver; the product's values by default.
struct ReceiverMatch {
    uint16_t vendorId;
    uint16_t productId;
    uint16_t usagePage;
    static ReceiverMatch Product();
    bool Matches(const HidIdentity& id) const noexcept
    {
        return id.vendorId == vendorId && id.productId == productId && id.usagePage == usagePage;
    }
};

struct TrackedReceiver {
    HidIdentity identity;
    std::wstring devicePath; // never truncated
    GUID interfaceClass{};
    // Device paths name the same interface in any case.
    bool SameInterface(const GUID& cls, const std::wstring& path) const noexcept;
    bool operator==(const TrackedReceiver& other) const noexcept;
};

struct DevNotifyTraits {
    using Handle = HDEVNOTIFY;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::UnregisterDeviceNotification(h); }
};
using CDevNotify = fw::UniqueHandle<DevNotifyTraits>;

class CReceiverWatcher : public fw::CWnd {
public:
    explicit CReceiverWatcher(ReceiverMatch match = ReceiverMatch::Product()) noexcept : m_match(match) {}
    ~CReceiverWatcher() override;

    // Creates the notification window, registers for notifications and then examines the
    // present devices (an arrival in between is seen twice rather than lost). False when
    // the window cannot be created: no enumeration and no notifications then.
    bool Start(HINSTANCE instance, HWND target);
    void Stop() noexcept;

    // WM_DEVICECHANGE; the data is read only for the events that carry a broadcast.
    void OnDeviceChange(WPARAM event, LPARAM data);
    // An interface has arrived: track it when it is the receiver and tell the target.
    void ExamineArrival(const GUID& interfaceClass, const std::wstring& devicePath);
    // Examines every present HID interface; returns how many were examined.
    int EnumeratePresentDevices();

    const std::vector<TrackedReceiver>& Tracked() const noexcept { return m_tracked; }
    const GUID& HidInterfaceClass() const noexcept { return m_hidClass; }
    bool HasNotification() const noexcept { return m_notify.IsValid(); }

protected:
    // Opens the interface and reads its identifiers; zeros when it cannot be read.
    virtual HidIdentity ReadIdentity(const std::wstring& devicePath);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnRemoval(const GUID& interfaceClass, const std::wstring& devicePath);
    void Post(UINT message) noexcept;

    ReceiverMatch m_match;
    HWND m_target = nullptr;
    GUID m_hidClass{};
    CDevNotify m_notify;
    std::vector<TrackedReceiver> m_tracked;
};

// The process-wide watcher that the controller window starts and process exit stops.
bool StartReceiverWatcher(HINSTANCE instance, HWND target);
void StopReceiverWatcher() noexcept;

} // namespace zv::launcher
