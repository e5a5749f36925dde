#include "updater/transfer/apply_thread.h"

#include "updater/base/log.h"
#include "updater/base/win32/system_helpers.h"
#include "updater/transfer/apply_state.h"
#include "updater/transfer/path_split.h"
#include "updater/transfer/progress_faker.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>

namespace {

// ShellExecuteExW with SEE_MASK_NOASYNC expects COM on the calling thread.
class ScopedCom {
public:
    ScopedCom() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ScopedCom()
    {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    ScopedCom(const ScopedCom&) = delete;
    ScopedCom& operator=(const ScopedCom&) = delete;

private:
    HRESULT m_hr;
};

// A fresh, unsignalled manual-reset event of that name, also when one is left from earlier.
zv::fw::CHandle CreateResetEvent(const std::wstring& name)
{
    zv::fw::CHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    if (event) ::ResetEvent(event.Get());
    return event;
}

unsigned AsNumber(HANDLE h)
{
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(h));
}

} // namespace

unsigned __stdcall ZvLib_CApplyThread::ThreadMain(void* sharedSelf)
{
    std::unique_ptr<std::shared_ptr<ZvLib_CApplyThread>> self(static_cast<std::shared_ptr<ZvLib_CApplyThread>*>(sharedSelf));
    ZvLib_CApplyThread& thread = **self;
    try {
        thread.InitInstance();
    } catch (...) {
        // Nothing leaves the thread, and an apply that broke off is not a success.
        if (!thread.Failed()) {
            thread.resultCode = ERROR_INTERNAL_ERROR;
            thread.ReportFailure();
        }
    }
    thread.ExitInstance();
    return 0;
}

int ZvLib_CApplyThread::InitInstance()
{
    ZvLib_CLog& log = zv::Log();
    const DWORD tid = ::GetCurrentThreadId();
    log.Log(zv::ZVLOG_INFO2, L"ZvLib: ----> (run) (%d)(0x%x) ZvLib_CApplyThread::InitInstance: enter\n", tid, tid);
    ScopedCom com;
    resultCode = 0;
    const BOOL vista = IsVistaOrLater();
    log.Log(zv::ZVLOG_INFO2,
            L"ZvLib: ----- (run) (%d)(0x%x) Will elevate if all are true: 'RequiresElevation' set in manifest or metadata "
            L"description xml? %i.  OS is Vista+ ? %i.  Runner fn supplied to ZvLib? %i.\n",
            tid, tid, requiresElevation, vista ? 1 : 0, runner ? 1 : 0);

    // Both exist and are unsignalled before the payload can start: a hand-off installer
    // cannot signal too early, and a pair left signalled by an earlier run does not count.
    zv::fw::CHandle starting, ending;
    if (isRun) {
        starting = CreateResetEvent(startingEventName);
        ending = CreateResetEvent(endingEventName);
    }

    zv::fw::CHandle process;
    int success = 0;
    if (requiresElevation && vista && runner) {
        process.Reset(CallRunner(success));
    } else {
        log.Log(zv::ZVLOG_INFO2,
                L"ZvLib: ----- (run) (%d)(0x%x) Running the payload directly, at ZV's privilege level (at non-elevated, if the "
                L"term applies on this OS).\n",
                tid, tid);
        if (isRun) {
            process.Reset(RunDirectly());
            log.Log(zv::ZVLOG_INFO2,
                    L"ZvLib: --- (run) (%d)(0x%x) ZvLib_CApplyThread::InitInstance: returned from ShellExecuteEx, hProcess: 0x%x "
                    L"(%u)\n",
                    tid, tid, AsNumber(process.Get()), AsNumber(process.Get()));
        } else {
            success = CopyDirectly();
        }
    }
    // Started or copied: the payload is in use or in place, so the hold has done its work.
    hold.Release();

    if (isRun && (resultCode != 0 || !process)) {
        ReportFailure();
        return 0;
    }
    if (!isRun && !success) {
        ReportFailure();
        return 0;
    }

    auto faker = std::make_unique<ZvLib_CProgressFaker>();
    faker->Start(itemId, fileSize, cancelEventName, 0, progressSink);
    if (isRun) {
        HANDLE waits[2] = {starting.Get(), process.Get()};
        DWORD wait = starting ? ::WaitForMultipleObjects(2, waits, FALSE, INFINITE)
                              : (::WaitForSingleObject(process.Get(), INFINITE) == WAIT_OBJECT_0 ? WAIT_OBJECT_0 + 1 : WAIT_FAILED);
        if (wait == WAIT_OBJECT_0) {
            log.Log(zv::ZVLOG_INFO2,
                    L"--< (run) (%d)(0x%x) ZvLib_CApplyThread::InitInstance: WAIT_OBJECT_0 + 0.  An asynch payload started.\n",
                    tid, tid);
            ::WaitForSingleObject(ending.Get(), INFINITE);
        } else if (wait == WAIT_OBJECT_0 + 1) {
            log.Log(zv::ZVLOG_INFO2,
                    L"--< (run) (%d)(0x%x) ZvLib_CApplyThread::InitInstance: WAIT_OBJECT_0 + 1.  The payload process was "
                    L"signaled. Payload terminated normally.\n",
                    tid, tid);
        } else {
            log.Log(zv::ZVLOG_INFO2, L"--< (run) (%d)(0x%x) ZvLib_CApplyThread::InitInstance: Wait error.\n", tid, tid);
        }
        starting.Reset();
        ending.Reset();
        DWORD exitCode = 0;
        if (::GetExitCodeProcess(process.Get(), &exitCode)) zv::apply::State().resultCode = static_cast<int>(exitCode);
        process.Reset();
    }
    faker->Stop(0);
    faker.reset();

    log.Log(zv::ZVLOG_INFO2, L"--< (run) (%d)(0x%x) ZvLib_CApplyThread::InitInstance: exit. Return code %d\n", tid, tid,
            zv::apply::State().resultCode.load());
    return 0;
}

int ZvLib_CApplyThread::ExitInstance()
{
    if (resultCode != 0) zv::apply::State().resultCode = resultCode;
    return 0;
}

HANDLE ZvLib_CApplyThread::RunDirectly()
{
    SHELLEXECUTEINFOW& sei = zv::apply::State().shellRecord;
    sei = SHELLEXECUTEINFOW{};
    sei.cbSize = sizeof(sei);
    // No shell error box: nobody sees one from a background updater, and it would block
    // this thread for good. NOASYNC: the launch is complete when the call returns.
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    sei.hwnd = nullptr;
    sei.lpVerb = nullptr;
    sei.lpFile = filePath.c_str();
    sei.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
    sei.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&sei)) {
        resultCode = static_cast<int>(::GetLastError());
        return nullptr;
    }
    return sei.hProcess;
}

HANDLE ZvLib_CApplyThread::CallRunner(int& success)
{
    ZvLib_CLog& log = zv::Log();
    const DWORD tid = ::GetCurrentThreadId();
    log.Log(zv::ZVLOG_INFO2,
            L"ZvLib: -----> (run) (%d)(0x%x) Calling for the runner (for ZvInstall.exe).  All conditions above are met.\n", tid,
            tid);
    ZvLib_CRunnerWorkItem item{cancelEventName, L"",      isRun ? kActionRun : kActionCopy, destDir, destName, filePath,
                               sigPath,         publicKeyPath, arguments};
    DWORD err = 0;
    HANDLE process = nullptr;
    DWORD returned = runner(item, &err, &process, 0, 0);
    resultCode = static_cast<int>(err);
    const unsigned p = AsNumber(process);

    if (returned == kRunnerDone) {
        log.Log(zv::ZVLOG_INFO2,
                L"--------- (run) (%d)(0x%x) Runner function called and returned success.  dwReturned: 0x%x (%u), dwErr: 0x%x "
                L"(%u), hProcess: 0x%x (%u)\n",
                tid, tid, returned, returned, err, err, p, p);
        if (!isRun) success = 1;
    } else if (returned == kRunnerCannotAct && isRun) {
        log.Log(zv::ZVLOG_ERROR,
                L"--------- (run) (%d)(0x%x) Error, Runner function returned an error.  Will run the payload the legacy way. "
                L"dwReturned: 0x%x (%u), dwErr: 0x%x (%u), hProcess: 0x%x (%u)\n",
                tid, tid, returned, returned, err, err, p, p);
        zv::fw::CHandle(process).Reset();
        // The runner's own error must not turn a direct run that works into a failure.
        resultCode = 0;
        process = RunDirectly();
        log.Log(zv::ZVLOG_INFO2, L"--------- (run) (%d)(0x%x) hProcess: 0x%x (%u)\n", tid, tid, AsNumber(process),
                AsNumber(process));
    } else if (returned == kRunnerCannotAct) {
        log.Log(zv::ZVLOG_ERROR,
                L"--------- (run) (%d)(0x%x) Error, Runner function returned an error.  This payload cannot be copied with "
                L"elevated privileges. dwReturned: 0x%x (%u), dwErr: 0x%x (%u), hProcess: 0x%x (%u)\n",
                tid, tid, returned, returned, err, err, p, p);
    } else if (returned == kRunnerAuthFailed) {
        log.Log(zv::ZVLOG_ERROR,
                L"--------- (run) (%d)(0x%x) Error, Runner: Payload failed its authentication check.  Will not run the "
                L"payload.  dwReturned: 0x%x (%u), dwErr: 0x%x (%u), hProcess: 0x%x (%u)\n",
                tid, tid, returned, returned, err, err, p, p);
    } else {
        log.Log(zv::ZVLOG_ERROR,
                L"--------- (run) (%d)(0x%x) Error, Runner: General error trying to run the payload.  Will not run the "
                L"payload.  dwReturned: 0x%x (%u), dwErr: 0x%x (%u), hProcess: 0x%x (%u)\n",
                tid, tid, returned, returned, err, err, p, p);
    }
    // Only a run the runner performed, or the direct one after it, has a process to wait for.
    const bool keepProcess = isRun && (returned == kRunnerDone || returned == kRunnerCannotAct);
    if (!keepProcess && process) {
        zv::fw::CHandle(process).Reset();
        process = nullptr;
    }
    // Nothing was run: a runner that reported no error code still failed.
    if (isRun && !keepProcess && resultCode == 0) resultCode = static_cast<int>(returned);
    return process;
}

int ZvLib_CApplyThread::CopyDirectly()
{
    ZvLib_CLog& log = zv::Log();
    std::wstring dest;
    try {
        dest = destDir + L"\\" + destName;
        log.Log(zv::ZVLOG_DEBU1, L"ZVLib:InstallItem(): Going to copy %i, '%s', to '%s'\n", itemId, filePath.c_str(), dest.c_str());
        // An empty, relative or drive-relative folder (an expression that came out empty,
        // an unset environment variable) would put the file wherever this process's
        // current folder or drive happens to be.
        if (!zv::IsFullPath(destDir)) {
            resultCode = static_cast<int>(ERROR_BAD_PATHNAME);
            log.Log(zv::ZVLOG_ERROR,
                    L"ZvLib: ---- ZvLib_CApplyThread::InitInstance(): the destination folder '%s' is not a full path; '%s' is not "
                    L"copied.\n",
                    destDir.c_str(), filePath.c_str());
            return 0;
        }
        int created = ::SHCreateDirectoryExW(nullptr, destDir.c_str(), nullptr);
        if (created != ERROR_SUCCESS) {
            resultCode = static_cast<int>(::GetLastError());
            log.Log(zv::ZVLOG_ERROR,
                    L"ZvLib: ---- ZvLib_CApplyThread::InitInstance(): Error %d occurred while trying to create target directory "
                    L"'%s'\n",
                    resultCode, destDir.c_str());
        } else {
            log.Log(zv::ZVLOG_INFO2, L"ZvLib: ---- ZvLib_CApplyThread::InitInstance(): Created destination directory '%s'\n",
                    destDir.c_str());
        }
        log.Log(zv::ZVLOG_INFO2,
                L"----- ZVLib:InstallItem(): InstallItem:: begin copying file to destination. File '%s', dest '%s'\n",
                filePath.c_str(), dest.c_str());
        zv::apply::PrepareCopyProgress(cancelEventName);
        BOOL copied = zv::apply::CopyFileCall()(filePath.c_str(), dest.c_str(), &Qv_CopyProgressRoutine, nullptr,
                                                &zv::apply::State().copyCancel, 0);
        DWORD err = ::GetLastError();
        // A copy that worked has result 0, whatever an earlier call left in the last error.
        resultCode = copied ? 0 : static_cast<int>(err);
        log.Log(zv::ZVLOG_INFO2, L"--< Done running CopyFileEx directly from UI T.\n");
        log.Log(zv::ZVLOG_INFO2, L"Run directly, CopyFileEx returned %d\n", copied);
        log.Log(zv::ZVLOG_INFO2, L"Run directly, GetLastError returned %d\n", err);
        if (copied) {
            log.Log(zv::ZVLOG_INFO2, L"----- ZVLib:InstallItem(): InstallItem:: end file to destination. File '%s', dest '%s'\n",
                    filePath.c_str(), dest.c_str());
            return 1;
        }
        log.Log(zv::ZVLOG_ERROR,
                L"----- ZVLib:InstallItem(): InstallItem:: GetLastError: %d, failed to copy file to destination. File '%s', dest "
                L"'%s'\n",
                err, filePath.c_str(), dest.c_str());
        return 0;
    } catch (...) {
        resultCode = static_cast<int>(::GetLastError());
        log.Log(zv::ZVLOG_ERROR,
                L"----- ZVLib:InstallItem(): InstallItem Caught exception while attempting to copy file to destination. File "
                L"'%s', dest '%s'\n",
                filePath.c_str(), dest.c_str());
        return 0;
    }
}

void ZvLib_CApplyThread::ReportFailure()
{
    const int tid = static_cast<int>(::GetCurrentThreadId());
    const unsigned code = static_cast<unsigned>(resultCode);
    if (isRun)
        zv::Log().Log(zv::ZVLOG_ERROR,
                      L"ZvLib: ---< (run) (%d)(0x%x) ZvLib_CApplyThread::InitInstance: error creating process. "
                      L"GetLastError(): 0x%x, (%u)\n",
                      tid, static_cast<unsigned>(tid), code, code);
    else
        zv::Log().Log(zv::ZVLOG_ERROR,
                      L"ZvLib: ---< (run) (%d)(0x%x) ZvLib_CApplyThread::InitInstance: error copying file. "
                      L"GetLastError(): 0x%x, (%u)\n",
                      tid, static_cast<unsigned>(tid), code, code);
    zv::apply::State().resultCode = resultCode;
    // The flag first: the waiting caller reads it whichever of its handles wakes it.
    failed = 1;
    zv::fw::CHandle error(::OpenEventW(EVENT_MODIFY_STATE, FALSE, kApplyErrorEvent));
    if (error) ::SetEvent(error.Get());
}
