#include "support/debug_stream_capture.h"

#include <cstring>

namespace zv::test {

namespace {
constexpr const char* kSyncPrefix = "\x01zvtest-sync-";
}

DebugStreamCapture::DebugStreamCapture()
{
    m_bufferReady = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    m_dataReady = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    m_mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    m_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_bufferReady || !m_dataReady || !m_mapping || !m_stop) return;
    m_view = ::MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 4096);
    if (!m_view) return;
    m_ready = true;
    m_thread = std::thread([this] { Run(); });
}

DebugStreamCapture::~DebugStreamCapture()
{
    if (m_thread.joinable()) {
        ::SetEvent(m_stop);
        m_thread.join();
    }
    if (m_view) ::UnmapViewOfFile(m_view);
    for (HANDLE h : {m_mapping, m_bufferReady, m_dataReady, m_stop})
        if (h) ::CloseHandle(h);
}

void DebugStreamCapture::Run()
{
    HANDLE waits[2] = {m_dataReady, m_stop};
    ::SetEvent(m_bufferReady);
    for (;;) {
        DWORD w = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (w != WAIT_OBJECT_0) break;
        DebugStreamEntry e;
        std::memcpy(&e.pid, m_view, sizeof(DWORD));
        const char* text = static_cast<const char*>(m_view) + sizeof(DWORD);
        e.text.assign(text, strnlen(text, 4096 - sizeof(DWORD)));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (e.text.rfind(kSyncPrefix, 0) == 0)
                ++m_syncSeen;
            else
                m_entries.push_back(std::move(e));
        }
        m_changed.notify_all();
        ::SetEvent(m_bufferReady);
    }
}

void DebugStreamCapture::Drain()
{
    if (!m_ready) return;
    unsigned target;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        target = m_syncSeen + 1;
    }
    std::string marker = std::string(kSyncPrefix) + std::to_string(target);
    ::OutputDebugStringA(marker.c_str());
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_syncSeen >= target; });
}

std::vector<std::string> DebugStreamCapture::Texts(DWORD pid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> out;
    for (const auto& e : m_entries)
        if (e.pid == pid) out.push_back(e.text);
    return out;
}

std::string DebugStreamCapture::Joined(DWORD pid)
{
    std::string all;
    for (const auto& t : Texts(pid)) all += t;
    return all;
}

void DebugStreamCapture::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}

} // namespace zv::test
