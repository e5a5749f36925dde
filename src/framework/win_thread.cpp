#include "framework/win_thread.h"

#include "framework/win_app.h"

#include <process.h>

namespace zv::fw {

CWinThread::~CWinThread()
{
    Stop();
}

bool CWinThread::CreateThread() noexcept
{
    if (m_thread) return false;
    // Unnamed: no other process or object can signal or reset it.
    m_readyEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_readyEvent) return false;
    unsigned id = 0;
    auto handle = ::_beginthreadex(nullptr, 0, &CWinThread::ThreadEntry, this, 0, &id);
    if (handle == 0) return false;
    m_thread.Reset(reinterpret_cast<HANDLE>(handle));
    m_threadId = id;
    return true;
}

bool CWinThread::WaitReady(DWORD timeoutMs) noexcept
{
    if (!m_readyEvent) return false;
    if (::WaitForSingleObject(m_readyEvent.Get(), timeoutMs) != WAIT_OBJECT_0) return false;
    return m_ready.load();
}

bool CWinThread::PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (!m_ready.load() || m_ended.load()) return false;
    return ::PostThreadMessageW(m_threadId, message, wParam, lParam) != FALSE;
}

bool CWinThread::Stop(DWORD timeoutMs) noexcept
{
    if (!m_thread) return true;
    if (::GetCurrentThreadId() == m_threadId) return false; // a thread cannot wait for itself
    if (!m_ended.load()) {
        // Before ready the queue may not exist yet; wait for the handshake first.
        if (m_readyEvent) ::WaitForSingleObject(m_readyEvent.Get(), timeoutMs);
        ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    }
    if (::WaitForSingleObject(m_thread.Get(), timeoutMs) != WAIT_OBJECT_0) return false;
    m_thread.Reset();
    return true;
}

unsigned __stdcall CWinThread::ThreadEntry(void* self) noexcept
{
    return static_cast<CWinThread*>(self)->RunThread();
}

unsigned CWinThread::RunThread() noexcept
{
    // The queue exists once the thread has peeked at it; posts made after ready cannot be lost.
    MSG peek{};
    ::PeekMessageW(&peek, nullptr, WM_USER, WM_USER, PM_NOREMOVE);

    bool ok = false;
    try {
        ok = InitInstance();
    } catch (...) {
        ok = false;
    }
    m_ready.store(ok);
    if (!ok) m_ended.store(true);
    ::SetEvent(m_readyEvent.Get());

    if (ok) {
        auto thunk = [](void* context, const MSG& msg) {
            try {
                static_cast<CWinThread*>(context)->OnThreadMessage(msg);
            } catch (...) {
                // A failed step drops its message; the thread goes on.
            }
        };
        int code = 0;
        for (;;) {
            bool more = true;
            try {
                more = PumpOneMessage(&code, thunk, this);
            } catch (...) {
            }
            if (!more) break;
        }
        m_exitCode = code;
    }
    m_ended.store(true);
    int result = -1;
    try {
        result = ExitInstance();
    } catch (...) {
        result = -1;
    }
    m_exitCode = result;
    return static_cast<unsigned>(result);
}

} // namespace zv::fw
