#pragma once
// Reads the debugger output stream the way a debug-output viewer does (the DBWIN
// shared-memory protocol), so tests see exactly what a support engineer sees.
// Only one reader can own the stream in a session: tests that use it take the
// "debug_stream" resource lock.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zv::test {

struct DebugStreamEntry {
    DWORD pid = 0;
    std::string text; // as the stream carries it: ANSI code page
};

class DebugStreamCapture {
public:
    DebugStreamCapture();
    ~DebugStreamCapture();
    DebugStreamCapture(const DebugStreamCapture&) = delete;
    DebugStreamCapture& operator=(const DebugStreamCapture&) = delete;

    bool IsReady() const { return m_ready; }

    // Waits until everything this process wrote before the call has been read.
    void Drain();
    // The texts written by one process (default: this one), in order.
    std::vector<std::string> Texts(DWORD pid = ::GetCurrentProcessId());
    // Texts of one process joined as the stream runs them together.
    std::string Joined(DWORD pid = ::GetCurrentProcessId());
    void Clear();

private:
    void Run();

    HANDLE m_mapping = nullptr;
    HANDLE m_bufferReady = nullptr;
    HANDLE m_dataReady = nullptr;
    HANDLE m_stop = nullptr;
    void* m_view = nullptr;
    bool m_ready = false;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<DebugStreamEntry> m_entries;
    unsigned m_syncSeen = 0;
};

} // namespace zv::test
