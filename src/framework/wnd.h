#pragma once
// A window object in the manner of the framework's window class: the object is bound to
// its window at WM_NCCREATE and every message reaches the virtual WindowProc.
#include <windows.h>

#include <string>

namespace zv::fw {

class CWnd {
public:
    CWnd() noexcept = default;
    // Destroys the window when it still exists (call on the thread that created it).
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Registers a window class whose procedure dispatches to CWnd objects. True when the
    // class is registered now or was already known in this module.
    static bool RegisterWndClass(HINSTANCE instance, const wchar_t* className, UINT style = 0,
                                 HBRUSH background = nullptr) noexcept;

    // Creates the window of a class registered with RegisterWndClass and binds it to this object.
    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                  int width, int height, HWND parent = nullptr, HMENU menu = nullptr,
                  HINSTANCE instance = nullptr) noexcept;
    bool DestroyWindow() noexcept;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    // The object bound to a window of this module, or null.
    static CWnd* FromHandle(HWND hwnd) noexcept;

    // The main window of a message loop posts WM_QUIT when it is destroyed.
    void SetQuitOnDestroy(bool quit) noexcept { m_quitOnDestroy = quit; }

    // Called by the message loop before dispatch; true when the message was handled.
    virtual bool PreTranslateMessage(MSG* msg);

protected:
    // Member dispatch; the default hands the message to DefWindowProcW. May throw: the
    // window procedure catches everything so that nothing crosses into the system.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // After the last message: the window is gone and the object unbound.
    virtual void PostNcDestroy() noexcept {}

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    HWND m_hWnd = nullptr;
    bool m_quitOnDestroy = false;
};

} // namespace zv::fw
