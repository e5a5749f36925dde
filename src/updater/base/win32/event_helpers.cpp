#include "updater/base/win32/event_helpers.h"

#include "framework/handle.h"
#include "updater/base/log.h"

#include <windows.h>

int CheckEventSignaled(const std::wstring& eventName, const std::wstring& label, const std::wstring& displayName,
                       int verbose)
{
    ZvLib_CLog& log = zv::Log();
    const wchar_t* lbl = label.c_str();
    const wchar_t* name = displayName.c_str();
    log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ====> Begin Checking state of the [%s] event.\n", lbl, name);

    int result = 0;
    zv::fw::CHandle event(::OpenEventW(SYNCHRONIZE, FALSE, eventName.c_str()));
    if (event) {
        log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ===== Opened the [%s] event for synchronization.\n", lbl, name);
    } else {
        DWORD err = ::GetLastError();
        log.LogPlain(verbose, zv::ZVLOG_ERROR, L"[Error] %s: ===== Failed to open the [%s] event. GetLastError 0x%x (%d)\n",
                     lbl, name, err, err);
    }

    // A handle that could not be opened makes the wait fail, as on the original path.
    DWORD wait = ::WaitForSingleObject(event ? event.Get() : nullptr, 0);
    if (wait == WAIT_TIMEOUT) {
        log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ===== The [%s] event is in the non-signaled state.\n", lbl, name);
    } else if (wait == WAIT_OBJECT_0) {
        log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ===== The [%s] event is already SIGNALED.\n", lbl, name);
        result = 1;
    } else {
        DWORD err = ::GetLastError();
        log.LogPlain(verbose, zv::ZVLOG_ERROR,
                     L"[Error] %s: ===== The [%s] event cound not be waited upon. This is unexpected. GetLastError 0x%x (%d)\n",
                     lbl, name, err, err);
    }
    event.Reset();
    log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ====< End, returning %d\n", lbl, result);
    return result;
}

void SignalEvent(const std::wstring& eventName, const std::wstring& label, const std::wstring& displayName,
                 const std::wstring& purpose, int verbose)
{
    ZvLib_CLog& log = zv::Log();
    const wchar_t* lbl = label.c_str();
    const wchar_t* name = displayName.c_str();
    log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ===> Begin Attempting to signal the [%s] %s.\n", lbl, name,
                 purpose.c_str());

    zv::fw::CHandle event(::OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, eventName.c_str()));
    if (event) {
        log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ==== PASS: Opened the [%s] event for modification.\n", lbl, name);
    } else {
        DWORD err = ::GetLastError();
        log.LogPlain(verbose, zv::ZVLOG_ERROR, L"[Error] %s: ==== FAIL: Failed to open the [%s] event. GetLastError 0x%x (%d)\n",
                     lbl, name, err, err);
    }
    // Every step is traced even when the open failed: support staff read the whole sequence.
    int wasSignaled = CheckEventSignaled(eventName, label, displayName, verbose);
    if (event && ::SetEvent(event.Get())) {
        if (wasSignaled)
            log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ==== INFO: Set (SIGNALED) the [%s] event. Was SIGNALED.\n",
                         lbl, name);
        else
            log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ==== PASS: Set (SIGNALED) the [%s] event. Was non-signaled.\n",
                         lbl, name);
    } else {
        DWORD err = event ? ::GetLastError() : ERROR_INVALID_HANDLE;
        log.LogPlain(verbose, zv::ZVLOG_ERROR,
                     L"[Error] %s: ==== FAIL: Failed to set (signal) the [%s] event. GetLastError 0x%x (%d)\n", lbl, name,
                     err, err);
    }
    log.LogPlain(verbose, zv::ZVLOG_INFO1, L"[Info1] %s: ===< End.\n", lbl);
}

void InterpretRebootCode(int resultCode, int referenceCode, const std::wstring& eventName, const std::wstring& label,
                         const std::wstring& displayName, int verbose)
{
    ZvLib_CLog& log = zv::Log();
    if (resultCode == referenceCode) {
        log.LogPlain(verbose, zv::ZVLOG_INFO1,
                     L"[Info1] %s: ===== Return value indicates the package requested a reboot. Retval (%d).\n",
                     label.c_str(), resultCode);
        SignalEvent(eventName, label, displayName, L"to communicate with other threads", verbose);
    } else {
        log.LogPlain(verbose, zv::ZVLOG_INFO1,
                     L"[Info1] %s: ===== Return value indicates no need to reboot. Retval (%d), reference:(%d)\n",
                     label.c_str(), resultCode, referenceCode);
    }
}
