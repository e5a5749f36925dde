// Demo connection utility: a small window that shows the command line it was started
// with, so the demo can prove what the launcher passed ("-p" on a receiver arrival).
#include <windows.h>

#include <string>

#ifndef KVCH_DEMO_VERSION
#error "KVCH_DEMO_VERSION must be defined by the build"
#endif

#define KVCH_WIDEN2(x) L##x
#define KVCH_WIDEN(x) KVCH_WIDEN2(x)

namespace {

constexpr wchar_t kClassName[] = L"KVCHHostDemoWindow";
constexpr wchar_t kVersion[] = KVCH_WIDEN(KVCH_DEMO_VERSION);

std::wstring g_text;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT rc;
        ::GetClientRect(hwnd, &rc);
        ::InflateRect(&rc, -12, -12);
        ::SetBkMode(dc, TRANSPARENT);
        HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        ::DrawTextW(dc, g_text.c_str(), static_cast<int>(g_text.size()), &rc, DT_LEFT | DT_TOP | DT_WORDBREAK);
        ::SelectObject(dc, old);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// When KVCH_DEMO_RECORD names a file, one line per start is appended to it, so a script
// can check what the launcher started without reading the screen.
void RecordStart(const wchar_t* commandLine)
{
    wchar_t path[MAX_PATH];
    DWORD n = ::GetEnvironmentVariableW(L"KVCH_DEMO_RECORD", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::wstring line = std::wstring(L"KVCHHost ") + kVersion + L" started: " + commandLine + L"\r\n";
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    ::CloseHandle(file);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    const wchar_t* commandLine = ::GetCommandLineW();
    RecordStart(commandLine);
    g_text = std::wstring(L"Tandemix connection utility (demo) ") + kVersion + L"\r\n\r\nStarted with the command line:\r\n" +
             commandLine;

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExW(&wc)) return 1;

    const std::wstring title = std::wstring(L"KVCHHost ") + kVersion;
    HWND hwnd = ::CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 80, 80, 520, 220, nullptr, nullptr,
                                  instance, nullptr);
    if (!hwnd) return 1;
    ::ShowWindow(hwnd, show);
    ::UpdateWindow(hwnd);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
