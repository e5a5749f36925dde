// The reference of the start-up probe: the least a layered window needs to reach the
// screen (one window, one 32-bit surface of the same size, one UpdateLayeredWindow).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "first_frame_clock.h"

int wmain(int argc, wchar_t** argv)
{
    const int w = argc > 1 ? _wtoi(argv[1]) : 512;
    const int h = argc > 2 ? _wtoi(argv[2]) : 320;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BareLayeredProbe";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_LAYERED | WS_EX_NOACTIVATE, wc.lpszClassName, L"", WS_POPUP,
                                100, 100, w, h, nullptr, nullptr, wc.hInstance, nullptr);
    if (!hwnd) return 2;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(bi.bmiHeader), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    auto* px = static_cast<unsigned*>(bits);
    for (int i = 0; i < w * h; ++i) px[i] = 0xFF204060u;
    POINT pos{100, 100}, src{0, 0};
    SIZE size{w, h};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (!UpdateLayeredWindow(hwnd, nullptr, &pos, &size, mem, &src, 0, &blend, ULW_ALPHA)) return 3;
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    std::printf("first-frame-ms=%.2f\n", zv::test::MsSinceProcessStart());
    std::fflush(stdout);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    DestroyWindow(hwnd);
    return 0;
}
