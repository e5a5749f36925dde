#pragma once
// Process-wide state of the payload apply: one apply at a time shares it with its
// apply thread and the copy progress routine.
#include "framework/handle.h"

#include <shellapi.h>

#include <atomic>
#include <mutex>
#include <string>

namespace zv::apply {

struct CopyProgressState {
    std::wstring cancelEventName;
    zv::fw::CHandle cancelEvent; // opened on the first callback that finds the event
    LARGE_INTEGER total{};
    LARGE_INTEGER transferred{};
    DWORD reason = 0;
};

struct ApplyState {
    // Held for the whole of one apply: only one runs at a time.
    std::mutex applyMutex;
    // The thread of an apply whose caller stopped waiting (cancel, wait error); the next
    // apply waits for it before it touches anything below.
    zv::fw::CHandle unfinishedThread;

    std::atomic<int> resultCode{0};
    // Given to CopyFileExW; written with interlocked operations.
    BOOL copyCancel = FALSE;
    CopyProgressState copy;
    SHELLEXECUTEINFOW shellRecord{};
};

ApplyState& State();

// The copy call of copy actions: CopyFileExW. Tests may put in one that behaves as
// Windows can where Wine does not (Wine never calls the progress routine).
using CopyFileFn = BOOL(WINAPI*)(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE routine, LPVOID data, LPBOOL cancel,
                                 DWORD flags);
CopyFileFn& CopyFileCall();

// Clears the result code, the copy cancel flag and progress state and the shell record:
// nothing of an earlier apply reaches this one.
void ResetForNewApply(ApplyState& state);

// Before a copy: not cancelled, progress counted from zero, cancel watched under name.
void PrepareCopyProgress(const std::wstring& cancelEventName);
void SetCopyCancel();
bool IsCopyCancelSet();

} // namespace zv::apply

// The progress routine given to CopyFileExW: PROGRESS_CANCEL once the copy cancel event
// is signalled, else PROGRESS_CONTINUE.
DWORD CALLBACK Qv_CopyProgressRoutine(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                      LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred, DWORD streamNumber,
                                      DWORD callbackReason, HANDLE sourceFile, HANDLE destinationFile, LPVOID data);
