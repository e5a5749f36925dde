#pragma once
// What the fetcher's tests share: a size receiver, a sink that records what it is
// told, and a named event signalled now or later.
#include "framework/handle.h"
#include "updater/transfer/download_events.h"
#include "updater/transfer/payload_cache.h"

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

namespace zv::test {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class SizeReceiver : public IPayloadCache {
public:
    void SetRemoteFileSize(uint32_t size) override
    {
        received = size;
        ++calls;
    }
    uint32_t received = 0;
    int calls = 0;
};

// Records what a download tells its sink.
class RecordingSink : public ZvLib_IDownloadEvents {
public:
    void OnDownloadGroupBegin(int, uint32_t, int) override { ++groupCalls; }
    void OnItemBegin(int id, const ZvLib_CItemProgress& item, uint32_t expected, uint32_t start, uint32_t end) override
    {
        ++begins;
        beginId = id;
        beginName = item.name;
        beginExpected = expected;
        beginRange[0] = start;
        beginRange[1] = end;
    }
    void OnItemProgress(int, uint32_t bytes, uint32_t, double, double) override
    {
        if (bytes < lastProgress) progressWentBack = true;
        lastProgress = bytes;
        ++progressCalls;
    }
    void OnItemError(int, const std::wstring& text) override
    {
        ++errors;
        errorText = text;
    }
    void OnItemEnd(int) override { ++ends; }
    void OnDownloadGroupEnd() override { ++groupCalls; }
    uint32_t GetProgressInterval() override { return interval; }

    uint32_t interval = 1;
    int begins = 0, ends = 0, errors = 0, progressCalls = 0, groupCalls = 0, beginId = -1;
    std::wstring beginName, errorText;
    uint32_t beginExpected = 0, lastProgress = 0, beginRange[2] = {0, 0};
    bool progressWentBack = false;
};

// An event of the test's own, signalled now or from another thread later.
class CancelEvent {
public:
    explicit CancelEvent(const std::wstring& name, bool manualReset = true)
        : m_name(name), m_event(::CreateEventW(nullptr, manualReset, FALSE, name.c_str()))
    {
    }
    const std::wstring& Name() const { return m_name; }
    void Signal() { ::SetEvent(m_event.Get()); }
    void SignalAfter(int ms)
    {
        m_thread = std::thread([this, ms] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            Signal();
        });
    }
    ~CancelEvent()
    {
        if (m_thread.joinable()) m_thread.join();
        // Another process may hold the same named event open: leave it unsignalled.
        ::ResetEvent(m_event.Get());
    }

private:
    std::wstring m_name;
    zv::fw::CHandle m_event;
    std::thread m_thread;
};

} // namespace zv::test
