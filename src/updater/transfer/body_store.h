#pragma once
// Where a downloaded body goes: memory, or the end of a file written on a thread of
// its own so that the next read overlaps the disk write of the last one.
#include "framework/file.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

namespace zv {

// Store may go on using the data until the next call; Flush waits for what is under
// way and raises its failure; Settle waits and raises nothing.
class BodyStore {
public:
    virtual ~BodyStore() = default;
    virtual void Store(const char* data, uint32_t count) = 0;
    virtual void Flush() {}
    virtual void Settle() noexcept {}
    // The server ignored the requested range: start the target again.
    virtual void Restart() = 0;
};

class MemoryStore : public BodyStore {
public:
    explicit MemoryStore(std::string& body) : m_body(body) {}
    void Store(const char* data, uint32_t count) override { m_body.append(data, count); }
    void Restart() override { m_body.clear(); }

private:
    std::string& m_body;
};

// Appends to an open file. One write is under way at a time. Every kFlushEvery bytes a
// second thread asks the disk to take what was written so far, so the flush the file
// needs before its final rename finds little left to do.
class FileStore : public BodyStore {
public:
    explicit FileStore(zv::fw::CFile& file) : m_file(file) {}
    ~FileStore() override;
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    void Store(const char* data, uint32_t count) override;
    void Flush() override;
    void Settle() noexcept override;
    void Restart() override;

    static constexpr uint64_t kFlushEvery = 16u << 20;

private:
    void Run() noexcept;
    void RunFlusher() noexcept;

    zv::fw::CFile& m_file;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::thread m_thread;
    const char* m_data = nullptr;
    uint32_t m_count = 0;
    bool m_busy = false;
    bool m_stop = false;
    std::exception_ptr m_error;
    uint64_t m_unflushed = 0;
    std::condition_variable m_flushWanted;
    std::thread m_flusher;
    bool m_flushPending = false;
};

} // namespace zv
