#pragma once
// A user-interface thread in the manner of the framework: its own message queue, a
// ready handshake, thread messages dispatched to a virtual handler, ExitInstance at WM_QUIT.
#include "framework/handle.h"

#include <atomic>

namespace zv::fw {

class CWinThread {
public:
    CWinThread() noexcept = default;
    // Stops the thread and waits for it. A derived class must call Stop in its own
    // destructor: the thread runs the derived overrides until it ends.
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Starts the thread; false when it could not be started (or was started before).
    bool CreateThread() noexcept;
    // True once the thread has its message queue and InitInstance succeeded; waits at
    // most timeoutMs. False on a time-out or a failed InitInstance.
    bool WaitReady(DWORD timeoutMs) noexcept;
    bool IsReady() const noexcept { return m_ready.load(); }
    // Posts to the thread's queue; false before ready, after the end, or when the post fails.
    bool PostThreadMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) noexcept;
    // Posts WM_QUIT and waits for the thread's end; true when it has ended.
    bool Stop(DWORD timeoutMs = INFINITE) noexcept;

    DWORD ThreadId() const noexcept { return m_threadId; }
    HANDLE ThreadHandle() const noexcept { return m_thread.Get(); }
    // The thread's exit code (ExitInstance's result), valid after Stop returned true.
    int ExitCode() const noexcept { return m_exitCode; }

protected:
    // Run on the new thread after its queue exists; false ends the thread (ExitInstance still runs).
    virtual bool InitInstance() { return true; }
    virtual int ExitInstance() { return m_exitCode; }
    virtual void OnThreadMessage(const MSG&) {}

    int m_exitCode = 0;

private:
    static unsigned __stdcall ThreadEntry(void* self) noexcept;
    unsigned RunThread() noexcept;

    CHandle m_readyEvent;
    CHandle m_thread;
    DWORD m_threadId = 0;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_ended{false};
};

} // namespace zv::fw
