#pragma once
// An invented, steady progress for an apply that has none of its own: 1 % steps to the
// install-progress sink, one second per mebibyte for the whole run, on a thread of its
// own, until stopped, cancelled or at 100 %.
#include "framework/handle.h"

#include <atomic>
#include <cstdint>
#include <string>

class ZvLib_IInstallEvents;

namespace zv {
// Length of the whole fake run for a payload of totalBytes (one second per mebibyte).
uint32_t FakeDurationMs(uint32_t totalBytes);
// Pause between two 1 % steps.
uint32_t FakeStepMs(uint32_t totalBytes);
// Bytes reported at step (0..100); 64-bit so large payloads do not wrap.
uint32_t FakeBytesAtStep(uint32_t step, uint32_t totalBytes);
} // namespace zv

class ZvLib_CProgressFaker {
public:
    // Time the destructor and Stop give the thread to end after the complete signal.
    static constexpr unsigned kStopWaitMs = 10000;

    ZvLib_CProgressFaker();
    virtual ~ZvLib_CProgressFaker();
    ZvLib_CProgressFaker(const ZvLib_CProgressFaker&) = delete;
    ZvLib_CProgressFaker& operator=(const ZvLib_CProgressFaker&) = delete;

    void Start(int id, uint32_t total, const std::wstring& cancelName, int reservedValue, ZvLib_IInstallEvents* progressSink);
    // dontWait nonzero: signal the end and return without waiting for the thread.
    virtual void Stop(int dontWait);

    bool IsRunning() const { return thread.IsValid(); }
    bool IsFinished() const { return finished.load() != 0; }

private:
    static unsigned __stdcall ThreadMain(void* self);
    void Run();

    uint32_t totalBytes = 0;
    uint32_t durationMs = 0;
    uint32_t startTick = 0;
    uint32_t stepMs = 0;
    // Owned, never self-deleting: the destructor can still wait on it or end it.
    zv::fw::CHandle thread;
    // Unnamed: no other process or earlier run can signal or reset them.
    zv::fw::CHandle completeEvent;
    zv::fw::CHandle termEvent;
    std::atomic<int> finished{0};
    int reserved = 0;
    int itemId = 0;
    std::wstring cancelEventName;
    ZvLib_IInstallEvents* sink = nullptr;
};
