#pragma once
// One apply of an authenticated payload: copy it into place or run it, on a thread of
// its own, while the caller waits for it, for its error signal and for the user's cancel.
#include "updater/transfer/apply_runner.h"
#include "updater/transfer/payload_hold.h"

#include <cstdint>
#include <memory>
#include <string>

class ZvLib_IInstallEvents;

inline constexpr wchar_t kRebootRequiredEvent[] = L"Local\\Quorvane.zv_reboot_required_event";
inline constexpr int kRebootRequiredCode = 3010;

// What RunLaunchAndHold2 returns.
enum ZvLib_ApplyOutcome : int {
    kApplyCompleted = 0,   // the out result code is the payload's
    kApplyFailed = 1,      // the payload could not be run or copied
    kApplyCancelled = 2,   // the cancel event came first
    kApplyWaitFailed = -1,
    kApplyNotStarted = -2, // no thread, or the request was refused
};

class ZvLib_CApplyThread;

class ZvLib_CApplyPayload {
public:
    ZvLib_CApplyPayload(int itemId, const std::wstring& filePath, const std::wstring& arguments, const std::wstring& sigPath,
                        const std::wstring& publicKeyPath, int isRun, const std::wstring& destDir, const std::wstring& destName,
                        int fromManifest, int requiresElevation, ZvLib_RunnerFn runner);
    virtual ~ZvLib_CApplyPayload() = default;
    ZvLib_CApplyPayload(const ZvLib_CApplyPayload&) = delete;
    ZvLib_CApplyPayload& operator=(const ZvLib_CApplyPayload&) = delete;

    // The payload as it was authenticated, held (see PayloadHold) until the apply has
    // started. An apply given a hold on any file but filePath refuses to run.
    void HoldPayload(zv::PayloadHold held) { hold = std::move(held); }

    // Applies and waits; resultCode is -1 until the apply has a result. One apply runs at
    // a time in the process; one whose caller was cancelled is waited for first.
    int RunLaunchAndHold2(const std::wstring& cancelEventName, int& resultCode, ZvLib_IInstallEvents* sink);

    std::wstring filePath;
    std::wstring arguments;
    std::wstring sigPath;
    std::wstring publicKeyPath;
    std::wstring extension;
    int itemId = 0;
    uint32_t fileSize = 0;
    int isRun = 0;
    std::wstring destDir;
    std::wstring destName;
    int fromManifest = 0;
    int requiresElevation = 0;
    ZvLib_RunnerFn runner = nullptr;

private:
    bool MayApply(unsigned long tid) const;
    std::shared_ptr<ZvLib_CApplyThread> MakeApplyThread(const std::wstring& cancelEventName, ZvLib_IInstallEvents* sink);

    int pathSplit = 0; // 1 when filePath could be split within bounds
    zv::PayloadHold hold;
};
