#include "launcher/receiver_watcher.h"

#include "launcher/launcher_messages.h"
#include "launcher/receiver_ids.h"

#include <dbt.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <vector>

namespace {

using zv::launcher::CReceiverWatcher;
using zv::launcher::HidIdentity;
using zv::launcher::ReceiverMatch;
using zv::launcher::WM_ZV_RECEIVER_ARRIVED;
using zv::launcher::WM_ZV_RECEIVER_REMOVED;

constexpr wchar_t kTargetClass[] = L"ZvReceiverTargetWnd";

// Stands in for the controller window: records the watcher's messages in order.
class RecordingTarget : public zv::fw::CWnd {
public:
    RecordingTarget()
    {
        RegisterWndClass(::GetModuleHandleW(nullptr), kTargetClass);
        CreateEx(0, kTargetClass, nullptr, WS_POPUP, 0, 0, 1, 1);
    }
    std::vector<UINT> Drain()
    {
        MSG msg;
        while (::PeekMessageW(&msg, GetSafeHwnd(), 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        return std::exchange(received, {});
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_ZV_RECEIVER_ARRIVED || message == WM_ZV_RECEIVER_REMOVED) received.push_back(message);
        return Default(message, wParam, lParam);
    }

private:
    std::vector<UINT> received;
};

// Device data injected by path; every other path reads as zeros, like an unopenable device.
class InjectedWatcher : public CReceiverWatcher {
public:
    std::map<std::wstring, HidIdentity> devices;

protected:
    HidIdentity ReadIdentity(const std::wstring& path) override
    {
        // The system opens device paths in any case.
        for (const auto& [known, id] : devices)
            if (::CompareStringOrdinal(known.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL) return id;
        return HidIdentity{};
    }
};

// Records what the real HID reading finds.
class ObservingWatcher : public CReceiverWatcher {
public:
    using CReceiverWatcher::CReceiverWatcher;
    std::vector<HidIdentity> seen;

protected:
    HidIdentity ReadIdentity(const std::wstring& path) override
    {
        HidIdentity id = CReceiverWatcher::ReadIdentity(path);
        seen.push_back(id);
        return id;
    }
};

// A device-interface broadcast as the system lays it out, name included.
std::vector<unsigned char> Broadcast(const GUID& cls, const std::wstring& name)
{
    constexpr size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    std::vector<unsigned char> bytes(nameOffset + (name.size() + 1) * sizeof(wchar_t), 0);
    auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    b->dbcc_size = static_cast<DWORD>(bytes.size());
    b->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    b->dbcc_classguid = cls;
    std::memcpy(bytes.data() + nameOffset, name.c_str(), name.size() * sizeof(wchar_t));
    return bytes;
}

constexpr HidIdentity kReceiver{zv::launcher::kReceiverVendorId, zv::launcher::kReceiverProductId,
                                zv::launcher::kReceiverUsagePage};

TEST(ReceiverWatcher, RealEnumerationUnderWinePostsNothingForItsVirtualDevices)
{
    RecordingTarget target;
    ObservingWatcher watcher;
    ASSERT_TRUE(watcher.Start(::GetModuleHandleW(nullptr), target.GetSafeHwnd()));
    EXPECT_TRUE(watcher.HasNotification());
    EXPECT_NE(::FindWindowW(zv::launcher::kReceiverWatcherWndClass, nullptr), nullptr);
    EXPECT_FALSE(::IsWindowVisible(watcher.GetSafeHwnd()));
    // Wine lists a virtual keyboard and mouse; neither is the receiver.
    ASSERT_FALSE(watcher.seen.empty()) << "the HID interfaces were not enumerated";
    EXPECT_TRUE(watcher.Tracked().empty());
    EXPECT_TRUE(target.Drain().empty());

    // The reading is real: a watcher told to look for the first device seen finds it.
    const HidIdentity first = watcher.seen.front();
    ASSERT_NE(first.vendorId, 0) << "the HID attributes were not read";
    ObservingWatcher lookalike(ReceiverMatch{first.vendorId, first.productId, first.usagePage});
    ASSERT_TRUE(lookalike.Start(::GetModuleHandleW(nullptr), target.GetSafeHwnd()));
    EXPECT_FALSE(lookalike.Tracked().empty());
    EXPECT_EQ(target.Drain(), std::vector<UINT>(lookalike.Tracked().size(), WM_ZV_RECEIVER_ARRIVED));
}

TEST(ReceiverWatcher, TracksInjectedArrivalsAndRemovals)
{
    RecordingTarget target;
    InjectedWatcher watcher;
    const std::wstring receiver = LR"(\\?\hid#vid_2f1c&pid_0a31&mi_02#7&1a2b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    const std::wstring otherPage = LR"(\\?\hid#vid_2f1c&pid_0a31&mi_00#7&1a2b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    const std::wstring longPath = LR"(\\?\hid#)" + std::wstring(2000, L'r');
    watcher.devices[receiver] = kReceiver;
    watcher.devices[otherPage] = {kReceiver.vendorId, kReceiver.productId, 0x0001};
    watcher.devices[longPath] = kReceiver;
    ASSERT_TRUE(watcher.Start(::GetModuleHandleW(nullptr), target.GetSafeHwnd()));
    target.Drain();
    const GUID hid = watcher.HidInterfaceClass();
    const GUID otherClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    HWND wnd = watcher.GetSafeHwnd();

    auto send = [&](WPARAM event, const GUID& cls, const std::wstring& path) {
        auto bytes = Broadcast(cls, path);
        ::SendMessageW(wnd, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(bytes.data()));
        return target.Drain();
    };
    auto upper = [](std::wstring s) {
        for (auto& c : s) c = static_cast<wchar_t>(::towupper(c));
        return s;
    };
    const std::vector<UINT> arrived{WM_ZV_RECEIVER_ARRIVED}, removed{WM_ZV_RECEIVER_REMOVED}, none{};

    EXPECT_EQ(send(DBT_DEVICEARRIVAL, hid, receiver), arrived);
    EXPECT_EQ(watcher.Tracked().size(), 1u);
    // Told again, tracked once, whatever the case of the path.
    EXPECT_EQ(send(DBT_DEVICEARRIVAL, hid, upper(receiver)), arrived);
    EXPECT_EQ(send(DBT_DEVICEARRIVAL, hid, receiver), arrived);
    EXPECT_EQ(watcher.Tracked().size(), 1u);
    EXPECT_EQ(send(DBT_DEVICEARRIVAL, hid, otherPage), none) << "the receiver's ids on another usage page";
    EXPECT_EQ(send(DBT_DEVICEARRIVAL, otherClass, receiver), none) << "not a HID interface";
    EXPECT_EQ(send(DBT_DEVICEREMOVECOMPLETE, hid, otherPage), none) << "never tracked";
    EXPECT_EQ(send(DBT_DEVICEREMOVECOMPLETE, otherClass, receiver), none);

    EXPECT_EQ(send(DBT_DEVICEARRIVAL, hid, longPath), arrived);
    ASSERT_EQ(watcher.Tracked().size(), 2u);
    EXPECT_EQ(watcher.Tracked()[1].devicePath, longPath) << "the path is kept whole";

    EXPECT_EQ(send(DBT_DEVICEREMOVECOMPLETE, hid, upper(receiver)), removed);
    EXPECT_EQ(send(DBT_DEVICEREMOVECOMPLETE, hid, receiver), none);
    EXPECT_EQ(send(DBT_DEVICEREMOVECOMPLETE, hid, longPath), removed);
    EXPECT_TRUE(watcher.Tracked().empty());
}

TEST(ReceiverWatcher, ReadsTheBroadcastOnlyWhenTheMessageCarriesOne)
{
    RecordingTarget target;
    InjectedWatcher watcher;
    const std::wstring receiver = LR"(\\?\hid#vid_2f1c&pid_0a31#1)";
    watcher.devices[receiver] = kReceiver;
    ASSERT_TRUE(watcher.Start(::GetModuleHandleW(nullptr), target.GetSafeHwnd()));
    target.Drain();
    HWND wnd = watcher.GetSafeHwnd();

    // Events without data, and data that is not an interface broadcast.
    ::SendMessageW(wnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    ::SendMessageW(wnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    DEV_BROADCAST_HDR volume{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_VOLUME, 0};
    ::SendMessageW(wnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    // A broadcast whose size ends inside the name: only the declared part is read.
    auto cut = Broadcast(watcher.HidInterfaceClass(), receiver + L"-and-more");
    reinterpret_cast<DEV_BROADCAST_HDR*>(cut.data())->dbch_size =
        static_cast<DWORD>(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + receiver.size() * sizeof(wchar_t));
    ::SendMessageW(wnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(cut.data()));
    EXPECT_EQ(target.Drain(), std::vector<UINT>{WM_ZV_RECEIVER_ARRIVED});
    ASSERT_EQ(watcher.Tracked().size(), 1u);
    EXPECT_EQ(watcher.Tracked()[0].devicePath, receiver);
    EXPECT_EQ(::SendMessageW(wnd, WM_QUERYENDSESSION, 0, 0), TRUE);

    watcher.Stop();
    EXPECT_TRUE(watcher.Tracked().empty());
    EXPECT_FALSE(watcher.HasNotification());
    EXPECT_FALSE(::IsWindow(wnd));
}

TEST(ReceiverWatcher, OneProcessWideWatcher)
{
    RecordingTarget target;
    ASSERT_TRUE(zv::launcher::StartReceiverWatcher(::GetModuleHandleW(nullptr), target.GetSafeHwnd()));
    EXPECT_FALSE(zv::launcher::StartReceiverWatcher(::GetModuleHandleW(nullptr), target.GetSafeHwnd()));
    zv::launcher::StopReceiverWatcher();
    EXPECT_TRUE(zv::launcher::StartReceiverWatcher(::GetModuleHandleW(nullptr), target.GetSafeHwnd()));
    zv::launcher::StopReceiverWatcher();
    EXPECT_TRUE(target.Drain().empty());
}

} // namespace
