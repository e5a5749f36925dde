// The second reference of the idle benchmark: the bare message loop plus only what the
// launcher's start-up must do and keep for its whole life, in the launcher's order: common
// controls, COM on the main thread, GDI+, the HID library bound, and device notifications on
// a hidden window. The launcher minus this program is what the launcher holds of its own.
#include <windows.h>

#include <commctrl.h>
#include <dbt.h>
#include <objbase.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

namespace {

// GUID_DEVCLASS_HIDCLASS, as the receiver watcher registers it.
constexpr GUID kHidDeviceClass = {0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};

HWND CreateHiddenWindow(HINSTANCE instance, const wchar_t* className, DWORD exStyle, DWORD style)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    if (!::RegisterClassW(&wc)) return nullptr;
    return ::CreateWindowExW(exStyle, className, nullptr, style, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    ::InitCommonControlsEx(&controls);
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) return 1;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput gdiplusInput;
    if (Gdiplus::GdiplusStartup(&token, &gdiplusInput, nullptr) != Gdiplus::Ok) return 1;

    HWND controller = CreateHiddenWindow(instance, L"ZvIdleStartupController", WS_EX_TOOLWINDOW, WS_POPUP);
    HWND watcher = CreateHiddenWindow(instance, L"ZvIdleStartupWatcher", 0, WS_OVERLAPPEDWINDOW);
    if (!controller || !watcher) return 1;
    // The watcher binds the HID library for the life of the process.
    if (!::LoadLibraryW(L"hid.dll")) return 1;
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kHidDeviceClass;
    HDEVNOTIFY notify = ::RegisterDeviceNotificationW(watcher, &filter,
                                                      DEVICE_NOTIFY_WINDOW_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
    if (!notify) return 1;

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    ::UnregisterDeviceNotification(notify);
    Gdiplus::GdiplusShutdown(token);
    ::CoUninitialize();
    return 0;
}
