#include "updater/transfer/body_store.h"

#include <windows.h>

#include <utility>

namespace zv {

FileStore::~FileStore()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_flushWanted.notify_all();
    if (m_thread.joinable()) m_thread.join();
    if (m_flusher.joinable()) m_flusher.join();
}

void FileStore::Store(const char* data, uint32_t count)
{
    Flush();
    if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_data = data;
        m_count = count;
        m_busy = true;
    }
    m_changed.notify_all();
}

void FileStore::Flush()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [this] { return !m_busy; });
    if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr));
}

void FileStore::Settle() noexcept
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [this] { return !m_busy; });
}

void FileStore::Restart()
{
    Flush();
    m_file.SetLength(0);
    m_file.Seek(0, zv::fw::CFile::begin);
}

void FileStore::Run() noexcept
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [this] { return m_busy || m_stop; });
        if (!m_busy) return;
        lock.unlock();
        std::exception_ptr error;
        try {
            m_file.Write(m_data, m_count);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        m_error = error;
        m_busy = false;
        m_unflushed += m_count;
        if (m_unflushed >= kFlushEvery && !m_flushPending) {
            m_unflushed = 0;
            m_flushPending = true;
            if (!m_flusher.joinable()) m_flusher = std::thread([this] { RunFlusher(); });
            m_flushWanted.notify_all();
        }
        m_changed.notify_all();
    }
}

// Only a head start for the final flush: a failure here changes nothing, that one reports.
void FileStore::RunFlusher() noexcept
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_flushWanted.wait(lock, [this] { return m_flushPending || m_stop; });
        if (m_stop) return;
        lock.unlock();
        ::FlushFileBuffers(m_file.Handle());
        lock.lock();
        m_flushPending = false;
    }
}

} // namespace zv
