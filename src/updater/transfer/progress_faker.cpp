#include "updater/transfer/progress_faker.h"

#include "updater/transfer/install_events.h"

#include <process.h>

namespace zv {

uint32_t FakeDurationMs(uint32_t totalBytes)
{
    return static_cast<uint32_t>(static_cast<float>(totalBytes) / 1048576.0f * 1000.0f);
}

uint32_t FakeStepMs(uint32_t totalBytes)
{
    return FakeDurationMs(totalBytes) / 100u;
}

uint32_t FakeBytesAtStep(uint32_t step, uint32_t totalBytes)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(step) * totalBytes / 100u);
}

} // namespace zv

namespace {

int TotalMiBThousands(uint32_t totalBytes)
{
    return static_cast<int>(totalBytes / 1048576u / 1000u);
}

} // namespace

ZvLib_CProgressFaker::ZvLib_CProgressFaker()
    : completeEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), termEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

ZvLib_CProgressFaker::~ZvLib_CProgressFaker()
{
    if (completeEvent) ::SetEvent(completeEvent.Get());
    // The thread uses this object's events and fields: it must be gone before they are.
    if (thread && ::WaitForSingleObject(thread.Get(), kStopWaitMs) != WAIT_OBJECT_0)
        ::TerminateThread(thread.Get(), static_cast<DWORD>(-1));
}

void ZvLib_CProgressFaker::Start(int id, uint32_t total, const std::wstring& cancelName, int reservedValue,
                                 ZvLib_IInstallEvents* progressSink)
{
    if (thread) return; // one run per faker
    totalBytes = total;
    durationMs = zv::FakeDurationMs(total);
    startTick = ::GetTickCount();
    stepMs = zv::FakeStepMs(total);
    reserved = reservedValue;
    itemId = id;
    cancelEventName = cancelName;
    sink = progressSink;
    finished = 0;
    if (completeEvent) ::ResetEvent(completeEvent.Get());
    if (termEvent) ::ResetEvent(termEvent.Get());
    if (sink) sink->OnInstallProgress(itemId, 0, totalBytes, 0.0, TotalMiBThousands(totalBytes), 0);

    uintptr_t h = ::_beginthreadex(nullptr, 0, &ThreadMain, this, CREATE_SUSPENDED, nullptr);
    if (!h) return;
    thread.Reset(reinterpret_cast<HANDLE>(h));
    ::ResumeThread(thread.Get());
}

void ZvLib_CProgressFaker::Stop(int dontWait)
{
    bool signalled = completeEvent && ::SetEvent(completeEvent.Get());
    if (signalled && !dontWait && !finished.load() && thread) {
        HANDLE waits[2] = {termEvent.Get(), thread.Get()};
        ::WaitForMultipleObjects(termEvent ? 2 : 1, termEvent ? waits : waits + 1, FALSE, kStopWaitMs);
    }
    if (sink) sink->OnInstallEnd(itemId, 0);
}

unsigned __stdcall ZvLib_CProgressFaker::ThreadMain(void* self)
{
    static_cast<ZvLib_CProgressFaker*>(self)->Run();
    return 0;
}

void ZvLib_CProgressFaker::Run()
{
    const uint32_t pause = stepMs;
    const uint32_t total = totalBytes;
    const int id = itemId;
    zv::fw::CHandle cancel(cancelEventName.empty() ? nullptr : ::OpenEventW(SYNCHRONIZE, FALSE, cancelEventName.c_str()));

    HANDLE waits[2] = {completeEvent.Get(), cancel.Get()};
    const DWORD count = cancel ? 2 : 1;
    for (uint32_t i = 0; i <= 100; ++i) {
        DWORD wait = ::WaitForMultipleObjects(count, waits, FALSE, pause);
        if (wait != WAIT_TIMEOUT) break; // ended, cancelled or the wait failed
        if (sink) sink->OnInstallProgress(id, zv::FakeBytesAtStep(i, total), total, 0.0, TotalMiBThousands(total), 0);
    }
    finished = 1;
    if (termEvent) ::SetEvent(termEvent.Get());
}
