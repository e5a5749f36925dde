#include "updater/transfer/apply_state.h"

#include "updater/base/log.h"

namespace zv::apply {

ApplyState& State()
{
    static ApplyState state;
    return state;
}

CopyFileFn& CopyFileCall()
{
    static CopyFileFn call = &::CopyFileExW;
    return call;
}

void ResetForNewApply(ApplyState& state)
{
    state.resultCode = 0;
    ::InterlockedExchange(reinterpret_cast<volatile LONG*>(&state.copyCancel), FALSE);
    state.copy.cancelEventName.clear();
    state.copy.cancelEvent.Reset();
    state.copy.total.QuadPart = 0;
    state.copy.transferred.QuadPart = 0;
    state.copy.reason = 0;
    state.shellRecord = SHELLEXECUTEINFOW{};
}

void PrepareCopyProgress(const std::wstring& cancelEventName)
{
    ApplyState& state = State();
    ::InterlockedExchange(reinterpret_cast<volatile LONG*>(&state.copyCancel), FALSE);
    // A handle opened under another name must not decide this copy.
    if (state.copy.cancelEventName != cancelEventName) state.copy.cancelEvent.Reset();
    state.copy.cancelEventName = cancelEventName;
    state.copy.total.QuadPart = 0;
    state.copy.transferred.QuadPart = 0;
    state.copy.reason = 0;
}

void SetCopyCancel()
{
    ::InterlockedExchange(reinterpret_cast<volatile LONG*>(&State().copyCancel), TRUE);
}

bool IsCopyCancelSet()
{
    return ::InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&State().copyCancel), 0, 0) != 0;
}

} // namespace zv::apply

DWORD CALLBACK Qv_CopyProgressRoutine(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred, LARGE_INTEGER,
                                      LARGE_INTEGER, DWORD, DWORD callbackReason, HANDLE, HANDLE, LPVOID)
{
    zv::apply::CopyProgressState& copy = zv::apply::State().copy;
    const DWORD tid = ::GetCurrentThreadId();
    if (!copy.cancelEvent && !copy.cancelEventName.empty()) {
        copy.cancelEvent.Reset(::OpenEventW(SYNCHRONIZE, FALSE, copy.cancelEventName.c_str()));
        if (copy.cancelEvent) {
            auto h = static_cast<unsigned>(reinterpret_cast<uintptr_t>(copy.cancelEvent.Get()));
            zv::Log().Log(zv::ZVLOG_INFO2, L"%d(0x%x) *** Qv_CopyProgressRoutine: Opened event h %d(0x%x) '%s'.\n", tid, tid, h, h,
                        copy.cancelEventName.c_str());
        }
    }
    copy.total = totalFileSize;
    long long delta = totalBytesTransferred.QuadPart - copy.transferred.QuadPart;
    copy.transferred = totalBytesTransferred;
    copy.reason = callbackReason;
    double pct = totalFileSize.QuadPart > 0
                     ? 100.0 * static_cast<double>(totalBytesTransferred.QuadPart) / static_cast<double>(totalFileSize.QuadPart)
                     : 100.0;

    int cancelFlag = zv::apply::IsCopyCancelSet() ? 1 : 0;
    // The flag counts too: an auto-reset cancel event is spent by the caller's wait.
    bool cancelling = cancelFlag || (copy.cancelEvent && ::WaitForSingleObject(copy.cancelEvent.Get(), 0) == WAIT_OBJECT_0);
    if (cancelling)
        zv::Log().Log(zv::ZVLOG_INFO2,
                    L"%d(0x%x) *** Qv_CopyProgressRoutine: pct: %6.1lf, canceling, bytes xferred: %lld, delta bytes: %lld, cb "
                    L"reason: %d, Returning %d (cancelFlag) to Windows.\n",
                    tid, tid, pct, totalBytesTransferred.QuadPart, delta, callbackReason, cancelFlag);
    zv::Log().Log(zv::ZVLOG_DEBU3,
                L"%d(0x%x) *** Qv_CopyProgressRoutine: pct: %6.1lf, bytes xferred: %lld, delta bytes: %lld, cb reason: %d, "
                L"Returning %d (cancelFlag) to Windows.\n",
                tid, tid, pct, totalBytesTransferred.QuadPart, delta, callbackReason, cancelFlag);
    return cancelling ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}
