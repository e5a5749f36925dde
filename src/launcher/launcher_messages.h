#pragma once
// Names and private messages by which launcher processes and windows find and talk to each other.
#include <windows.h>

namespace zv::launcher {

// The controller window: later instances find it by this class.
inline constexpr wchar_t kControllerWndClass[] = L"VeskTandemixLaunchAppHiddenWndClass";

// To the controller window (all return 0).
inline constexpr UINT WM_ZV_RECEIVER_ARRIVED = 0x8002; // from the receiver watcher
inline constexpr UINT WM_ZV_RECEIVER_REMOVED = 0x8003; // from the receiver watcher
inline constexpr UINT WM_ZV_SHOW_SPLASH = 0x8004;      // wParam: display period in milliseconds

} // namespace zv::launcher
