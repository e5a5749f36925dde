#include "updater/transfer/apply_payload.h"

#include "framework/file.h"
#include "updater/base/log.h"
#include "updater/base/win32/event_helpers.h"
#include "updater/transfer/apply_state.h"
#include "updater/transfer/apply_thread.h"
#include "updater/transfer/path_split.h"

#include <process.h>

#include <limits>
#include <memory>

ZvLib_CApplyPayload::ZvLib_CApplyPayload(int id, const std::wstring& file, const std::wstring& args, const std::wstring& sig,
                                         const std::wstring& publicKey, int run, const std::wstring& dir,
                                         const std::wstring& name, int manifest, int elevation, ZvLib_RunnerFn runnerFn)
    : filePath(file), arguments(args), sigPath(sig), publicKeyPath(publicKey), itemId(id), isRun(run), destDir(dir),
      destName(name), fromManifest(manifest), requiresElevation(elevation), runner(runnerFn)
{
    zv::PathParts parts;
    pathSplit = zv::SplitPathBounded(filePath, parts) ? 1 : 0;
    extension = parts.ext;
    zv::fw::CFileStatus status;
    if (zv::fw::CFile::GetStatus(filePath, status))
        fileSize = status.size > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                                      : static_cast<uint32_t>(status.size);
}

namespace {

enum WaitSlot { kSlotThread, kSlotError, kSlotCancel, kSlotFailed };

// Which of the handles that were waited on answered.
WaitSlot SlotOf(DWORD wait, const WaitSlot* slots, DWORD count)
{
    if (wait >= WAIT_OBJECT_0 && wait < WAIT_OBJECT_0 + count) return slots[wait - WAIT_OBJECT_0];
    return kSlotFailed;
}

// An earlier apply whose caller was cancelled may still run its payload; this one
// shares its state and events, so it starts only when that one has ended.
// kApplyCompleted when the way is clear, else the code to return.
int WaitForPreviousApply(zv::apply::ApplyState& state, HANDLE cancel, DWORD tid)
{
    ZvLib_CLog& log = zv::Log();
    if (!state.unfinishedThread) return kApplyCompleted;
    log.Log(zv::ZVLOG_INFO2,
            L"ZvLib: --- (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: waiting for the previous apply to end. \n",
            tid, tid);
    HANDLE waits[2] = {state.unfinishedThread.Get(), cancel};
    DWORD wait = ::WaitForMultipleObjects(cancel ? 2 : 1, waits, FALSE, INFINITE);
    if (wait == WAIT_OBJECT_0 + 1) {
        log.Log(zv::ZVLOG_INFO2, L"ZvLib: --< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: exit, install cancelled \n",
                tid, tid);
        return kApplyCancelled;
    }
    if (wait != WAIT_OBJECT_0) {
        log.Log(zv::ZVLOG_ERROR,
                L"ZvLib: ---< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: error waiting on event. \n", tid, tid);
        return kApplyWaitFailed;
    }
    state.unfinishedThread.Reset();
    return kApplyCompleted;
}

// Starts the thread; it keeps its own reference, and its handle stays ours, so waiting
// on it is safe however early it ends. Null when it could not be started.
zv::fw::CHandle StartApplyThread(const std::shared_ptr<ZvLib_CApplyThread>& thread, DWORD tid)
{
    auto threadRef = std::make_unique<std::shared_ptr<ZvLib_CApplyThread>>(thread);
    zv::fw::CHandle handle(reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, &ZvLib_CApplyThread::ThreadMain, threadRef.get(), CREATE_SUSPENDED, nullptr)));
    if (!handle) {
        zv::Log().Log(zv::ZVLOG_ERROR,
                      L"ZvLib: ---< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: error creating thread to launch '%s' "
                      L"'%s'. \n",
                      tid, tid, thread->filePath.c_str(), thread->arguments.c_str());
        return {};
    }
    if (::ResumeThread(handle.Get()) == static_cast<DWORD>(-1)) {
        // It never ran, so its reference is still ours to free.
        ::TerminateThread(handle.Get(), 0);
        ::WaitForSingleObject(handle.Get(), INFINITE);
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ---< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: error resuming thread. \n",
                      tid, tid);
        return {};
    }
    threadRef.release();
    return handle;
}

// Waits for the thread, its failure signal or the cancel event. The error event counts
// only when this apply's thread failed: another process, or a run before this one, may
// have set it.
WaitSlot WaitForApplyThread(HANDLE threadHandle, HANDLE errorEvent, HANDLE cancel, const ZvLib_CApplyThread& thread, DWORD tid)
{
    HANDLE waits[3];
    WaitSlot slots[3];
    DWORD count = 0;
    waits[count] = threadHandle;
    slots[count++] = kSlotThread;
    if (errorEvent) {
        waits[count] = errorEvent;
        slots[count++] = kSlotError;
    }
    if (cancel) {
        waits[count] = cancel;
        slots[count++] = kSlotCancel;
    }
    for (;;) {
        WaitSlot woke = SlotOf(::WaitForMultipleObjects(count, waits, FALSE, INFINITE), slots, count);
        if (woke != kSlotError || thread.Failed()) return woke;
        zv::Log().Log(zv::ZVLOG_INFO1,
                      L"ZvLib: --- (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: error event set, but not by this apply; "
                      L"still waiting. \n",
                      tid, tid);
        ::ResetEvent(errorEvent);
    }
}

} // namespace

std::shared_ptr<ZvLib_CApplyThread> ZvLib_CApplyPayload::MakeApplyThread(const std::wstring& cancelEventName,
                                                                        ZvLib_IInstallEvents* sink)
{
    auto thread = std::make_shared<ZvLib_CApplyThread>();
    thread->itemId = itemId;
    thread->fileSize = fileSize;
    thread->filePath = filePath;
    thread->arguments = arguments;
    thread->extension = extension;
    thread->sigPath = sigPath;
    thread->publicKeyPath = publicKeyPath;
    thread->isRun = isRun;
    thread->destDir = destDir;
    thread->destName = destName;
    thread->startingEventName = kAsyncPayloadStartingEvent;
    thread->endingEventName = kAsyncPayloadEndingEvent;
    thread->cancelEventName = cancelEventName;
    thread->progressSink = sink;
    thread->fromManifest = fromManifest;
    thread->requiresElevation = requiresElevation;
    thread->runner = runner;
    thread->hold = std::move(hold);
    return thread;
}

// False, logged, when this payload may not be applied at all.
bool ZvLib_CApplyPayload::MayApply(DWORD tid) const
{
    if (!pathSplit) {
        zv::Log().Log(zv::ZVLOG_ERROR,
                      L"ZvLib: ---< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: a part of the payload path is too long: "
                      L"'%s'. \n",
                      tid, tid, filePath.c_str());
        return false;
    }
    if (hold.IsHeld() && !hold.Holds(filePath)) {
        zv::Log().Log(zv::ZVLOG_ERROR,
                      L"ZvLib: ---< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: the authenticated payload held is '%s', "
                      L"not '%s'; nothing is applied. \n",
                      tid, tid, hold.Path().c_str(), filePath.c_str());
        return false;
    }
    return true;
}

int ZvLib_CApplyPayload::RunLaunchAndHold2(const std::wstring& cancelEventName, int& resultCode, ZvLib_IInstallEvents* sink)
{
    ZvLib_CLog& log = zv::Log();
    const DWORD tid = ::GetCurrentThreadId();
    log.Log(zv::ZVLOG_INFO2, L"ZvLib: --> (run) (%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: enter \n", tid, tid);
    log.Log(zv::ZVLOG_INFO2, L"ZvLib: --- (run)(%d)(0x%x) Going to launch file: '%s' with args: '%s'\n", tid, tid,
            filePath.c_str(), arguments.c_str());
    log.Log(zv::ZVLOG_INFO2, L"ZvLib: --- (run)(%d)(0x%x) Item is from a manifest: %i, manifest specifies elevation: %i", tid, tid,
            fromManifest, requiresElevation);
    resultCode = -1;
    if (!MayApply(tid)) return kApplyNotStarted;

    try {
        zv::apply::ApplyState& state = zv::apply::State();
        std::unique_lock<std::mutex> oneAtATime(state.applyMutex);
        zv::fw::CHandle cancel(::OpenEventW(SYNCHRONIZE, FALSE, cancelEventName.c_str()));
        if (int previous = WaitForPreviousApply(state, cancel.Get(), tid); previous != kApplyCompleted) return previous;
        zv::apply::ResetForNewApply(state);

        // Created and cleared before the thread can run: its failure signal cannot be
        // missed, and a signal left from before is not taken for one.
        zv::fw::CHandle errorEvent(::CreateEventW(nullptr, TRUE, FALSE, kApplyErrorEvent));
        if (errorEvent) ::ResetEvent(errorEvent.Get());

        std::shared_ptr<ZvLib_CApplyThread> thread = MakeApplyThread(cancelEventName, sink);
        zv::fw::CHandle threadHandle = StartApplyThread(thread, tid);
        if (!threadHandle) return kApplyNotStarted;

        log.Log(zv::ZVLOG_INFO2,
                L"ZvLib: --- (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: opening cancel event for synchronization: "
                L"'%s' \n",
                tid, tid, cancelEventName.c_str());
        const WaitSlot woke = WaitForApplyThread(threadHandle.Get(), errorEvent.Get(), cancel.Get(), *thread, tid);
        errorEvent.Reset();
        cancel.Reset();
        resultCode = state.resultCode.load();

        if (woke == kSlotFailed) {
            log.Log(zv::ZVLOG_ERROR, L"ZvLib: ---< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: error waiting on event. \n",
                    tid, tid);
            state.unfinishedThread = std::move(threadHandle);
            return kApplyWaitFailed;
        }
        // The thread's own flag decides, whichever handle woke us.
        if (thread->Failed()) {
            state.unfinishedThread = std::move(threadHandle);
            log.Log(zv::ZVLOG_INFO2,
                    L"ZvLib:: --< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: exit, unable to run payload \n", tid, tid);
            return kApplyFailed;
        }
        if (woke == kSlotCancel) {
            zv::apply::SetCopyCancel();
            state.unfinishedThread = std::move(threadHandle);
            log.Log(zv::ZVLOG_INFO2, L"ZvLib: --< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: exit, install cancelled \n",
                    tid, tid);
            return kApplyCancelled;
        }
        log.Log(zv::ZVLOG_INFO2, L"ZvLib: --< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: exit, install completed. \n",
                tid, tid);
        InterpretRebootCode(resultCode, kRebootRequiredCode, kRebootRequiredEvent, L"ZvInstallPST", L"reboot-required event",
                            log.GetLevel() != 0 ? 1 : 0);
        log.Log(zv::ZVLOG_INFO2, L"ZvLib: --< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: exit \n", tid, tid);
        return kApplyCompleted;
    } catch (...) {
        log.Log(zv::ZVLOG_ERROR,
                L"ZvLib: ---< (run)(%d)(0x%x) ZvLib_CApplyPayload::RunLaunchAndHold2: error creating thread to launch '%s' "
                L"'%s'. \n",
                tid, tid, filePath.c_str(), arguments.c_str());
        return kApplyNotStarted;
    }
}
