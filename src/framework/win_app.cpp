#include "framework/win_app.h"

namespace zv::fw {

bool PumpOneMessage(int* exitCode, void (*onThreadMessage)(void* context, const MSG&), void* context)
{
    MSG msg{};
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        // -1: the queue is unusable; ending the loop is the only safe choice.
        *exitCode = got == 0 ? static_cast<int>(msg.wParam) : -1;
        return false;
    }
    if (!msg.hwnd) {
        if (onThreadMessage) onThreadMessage(context, msg);
        return true;
    }
    // The window object of the target or of its nearest bound ancestor may take the message.
    for (HWND h = msg.hwnd; h; h = ::GetParent(h)) {
        if (CWnd* wnd = CWnd::FromHandle(h)) {
            if (wnd->PreTranslateMessage(&msg)) return true;
            break;
        }
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    return true;
}

void CWinApp::MessageLoop()
{
    auto thunk = [](void* context, const MSG& msg) {
        auto* self = static_cast<CWinApp*>(context);
        try {
            self->OnThreadMessage(msg);
        } catch (...) {
            // A failed handler drops its message; the loop goes on.
        }
    };
    int code = 0;
    for (;;) {
        bool more = true;
        try {
            more = PumpOneMessage(&code, thunk, this);
        } catch (...) {
            // Pre-translation threw; the message is dropped.
        }
        if (!more) break;
    }
    m_exitCode = code;
}

int CWinApp::Run() noexcept
{
    bool started = false;
    try {
        started = InitInstance();
    } catch (...) {
        started = false;
    }
    if (started && m_pMainWnd) {
        m_pMainWnd->SetQuitOnDestroy(true);
        // A main window already gone would leave the loop waiting for ever.
        started = m_pMainWnd->GetSafeHwnd() != nullptr;
    }
    if (started) MessageLoop();
    try {
        return ExitInstance();
    } catch (...) {
        return -1;
    }
}

} // namespace zv::fw
