#pragma once
// The host-supplied runner that performs an apply with elevated rights, and what it is
// given. The library itself supplies none.
#include <windows.h>

#include <string>

// The nine texts handed to a runner, in this order.
struct ZvLib_CRunnerWorkItem {
    std::wstring cancelEventName;
    std::wstring reserved; // always empty
    std::wstring action;   // kActionRun or kActionCopy
    std::wstring destDir;
    std::wstring destName;
    std::wstring filePath;
    std::wstring sigPath;
    std::wstring publicKeyPath;
    std::wstring arguments;
};

inline constexpr wchar_t kActionRun[] = L"actionRun";
inline constexpr wchar_t kActionCopy[] = L"actionCopy";

// Returns one of the codes below; *err becomes the apply's result code; for a run,
// *process receives the started process (the apply closes it). The last two are 0.
using ZvLib_RunnerFn = DWORD (*)(const ZvLib_CRunnerWorkItem& item, DWORD* err, HANDLE* process, int reserved1,
                                 int reserved2);

inline constexpr DWORD kRunnerDone = 0;         // performed or started the action
inline constexpr DWORD kRunnerCannotAct = 55;   // run: the apply runs the payload directly instead
inline constexpr DWORD kRunnerAuthFailed = 23;  // the payload failed the runner's check
