#pragma once
// The thread that performs one apply: copies the payload into place or runs it and
// waits for it (also for an installer that hands its work to a second process).
#include "updater/transfer/apply_runner.h"
#include "updater/transfer/payload_hold.h"

#include <atomic>
#include <cstdint>
#include <string>

class ZvLib_IInstallEvents;

inline constexpr wchar_t kAsyncPayloadStartingEvent[] = L"Local\\Quorvane Async Payload Starting";
inline constexpr wchar_t kAsyncPayloadEndingEvent[] = L"Local\\Quorvane Async Payload Ending";
inline constexpr wchar_t kApplyErrorEvent[] = L"Local\\Quorvane.zvlib_applypayload_error_create";

class ZvLib_CApplyThread {
public:
    ZvLib_CApplyThread() = default;
    virtual ~ZvLib_CApplyThread() = default;
    ZvLib_CApplyThread(const ZvLib_CApplyThread&) = delete;
    ZvLib_CApplyThread& operator=(const ZvLib_CApplyThread&) = delete;

    // Performs the action; always 0.
    virtual int InitInstance();
    // Hands a nonzero result code on to the process-wide one.
    virtual int ExitInstance();

    // Thread entry: takes ownership of a heap std::shared_ptr<ZvLib_CApplyThread>.
    static unsigned __stdcall ThreadMain(void* sharedSelf);

    // Set (before the error event) when the action could not be performed; the caller
    // trusts this, not the event, which any process may signal.
    bool Failed() const { return failed.load() != 0; }

    int itemId = 0;
    uint32_t fileSize = 0;
    std::wstring filePath;
    std::wstring arguments;
    std::wstring extension;
    std::wstring sigPath;
    std::wstring publicKeyPath;
    int isRun = 0;
    std::wstring destDir;
    std::wstring destName;
    std::wstring startingEventName;
    std::wstring endingEventName;
    std::wstring cancelEventName;
    ZvLib_IInstallEvents* progressSink = nullptr;
    int resultCode = 0;
    int fromManifest = 0;
    int requiresElevation = 0;
    ZvLib_RunnerFn runner = nullptr;
    // The authenticated payload, kept unchangeable until the action has started.
    zv::PayloadHold hold;

private:
    HANDLE RunDirectly();
    HANDLE CallRunner(int& success);
    int CopyDirectly();
    // Logs the failed run or copy with its result code and raises the error event.
    void ReportFailure();

    std::atomic<int> failed{0};
};
