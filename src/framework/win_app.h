#pragma once
// The application object in the manner of the framework: InitInstance, the message loop
// on the calling thread, ExitInstance. The main window's destruction ends the loop.
#include "framework/wnd.h"

namespace zv::fw {

class CWinApp {
public:
    CWinApp() noexcept = default;
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // InitInstance; when it succeeds the message loop until WM_QUIT; then ExitInstance.
    // Returns the process exit code. Nothing thrown by the overrides escapes.
    int Run() noexcept;

    // The window whose destruction posts WM_QUIT (not owned).
    CWnd* m_pMainWnd = nullptr;

protected:
    // False ends the application at once; ExitInstance still runs.
    virtual bool InitInstance() { return true; }
    // The exit code; the default passes on the WM_QUIT code.
    virtual int ExitInstance() { return m_exitCode; }
    // A message for no window (thread message); the default ignores it.
    virtual void OnThreadMessage(const MSG&) {}

    int m_exitCode = 0;

private:
    void MessageLoop();
};

// One message loop step shared by the application and UI threads: pre-translation by the
// target window object, then dispatch. Returns false at WM_QUIT (its code in *exitCode).
bool PumpOneMessage(int* exitCode, void (*onThreadMessage)(void* context, const MSG&), void* context);

} // namespace zv::fw
