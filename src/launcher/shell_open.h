#pragma once
// Starts a program through the shell so that it may come to the foreground even though
// the launcher runs in the background.
#include <windows.h>

#include <string>

namespace zv::launcher {

// Lets a background process change the foreground window for its lifetime: a synthetic
// Alt tap and, when another process owns the foreground, input attached to its thread.
class ForegroundAttentionGrabber {
public:
    ForegroundAttentionGrabber();
    virtual ~ForegroundAttentionGrabber();
    ForegroundAttentionGrabber(const ForegroundAttentionGrabber&) = delete;
    ForegroundAttentionGrabber& operator=(const ForegroundAttentionGrabber&) = delete;

    bool IsAttached() const noexcept { return m_bAttached; }

private:
    bool m_bAttached = false;
    DWORD m_dwForegroundThread = 0;
    DWORD m_dwOwnThread = 0;
};

// ShellExecuteExW "open" of file with parameters (empty: none); with grabForeground the
// foreground is taken first and given back to the window that had it afterwards.
bool ShellOpen(const std::wstring& file, const std::wstring& parameters, HWND owner, bool grabForeground);

} // namespace zv::launcher
