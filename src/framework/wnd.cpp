#include "framework/wnd.h"

namespace zv::fw {

CWnd::~CWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    // A window destroyed by another path has already unbound itself; make sure no message
    // reaches a dead object.
    if (m_hWnd) ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
}

bool CWnd::RegisterWndClass(HINSTANCE instance, const wchar_t* className, UINT style, HBRUSH background) noexcept
{
    WNDCLASSEXW known{};
    known.cbSize = sizeof(known);
    if (::GetClassInfoExW(instance, className, &known)) return known.lpfnWndProc == &CWnd::StaticWndProc;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = &CWnd::StaticWndProc;
    wc.hInstance = instance;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance) noexcept
{
    if (m_hWnd) return false;
    if (!instance) instance = ::GetModuleHandleW(nullptr);
    HWND hwnd = ::CreateWindowExW(exStyle, className, title ? title : L"", style, x, y, width, height, parent, menu,
                                  instance, this);
    // m_hWnd was set at WM_NCCREATE; a window of a foreign class never binds.
    if (hwnd && m_hWnd != hwnd) {
        ::DestroyWindow(hwnd);
        m_hWnd = nullptr;
        return false;
    }
    return hwnd != nullptr;
}

bool CWnd::DestroyWindow() noexcept
{
    return m_hWnd && ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::FromHandle(HWND hwnd) noexcept
{
    if (!hwnd) return nullptr;
    WNDPROC proc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (proc != &CWnd::StaticWndProc) return nullptr;
    return reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool CWnd::PreTranslateMessage(MSG*)
{
    return false;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return Default(message, wParam, lParam);
}

LRESULT CWnd::Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    CWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<CWnd*>(create->lpCreateParams);
        if (self) {
            self->m_hWnd = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);

    LRESULT result = 0;
    try {
        result = self->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's dispatcher; the message gets its default handling.
        result = ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        if (self->m_quitOnDestroy) ::PostQuitMessage(0);
        self->PostNcDestroy();
    }
    return result;
}

} // namespace zv::fw
