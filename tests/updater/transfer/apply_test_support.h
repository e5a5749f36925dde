#pragma once
// Shared pieces of the apply tests: the stand-in installer and one-call applies.
#include "framework/handle.h"
#include "support/child_process.h"
#include "updater/transfer/apply_payload.h"

#include <string>

namespace zv::test {

inline std::wstring Installer()
{
    return SiblingProgram(L"fake_installer.exe");
}

// A kernel-object name of this test process alone.
inline std::wstring UniqueName(const std::wstring& base)
{
    return L"Local\\zvtest.apply." + base + L"." + std::to_wstring(::GetCurrentProcessId());
}

struct Applied {
    int returned = -99;
    int code = -99;
};

inline Applied ApplyRequest(ZvLib_CApplyPayload& request, const std::wstring& cancelName = UniqueName(L"nocancel"))
{
    Applied a;
    a.returned = request.RunLaunchAndHold2(cancelName, a.code, nullptr);
    return a;
}

inline Applied RunPayload(const std::wstring& payload, const std::wstring& arguments,
                          const std::wstring& cancelName = UniqueName(L"nocancel"))
{
    ZvLib_CApplyPayload request(42, payload, arguments, L"", L"", 1, L"", L"", 1, 0, nullptr);
    return ApplyRequest(request, cancelName);
}

inline Applied CopyPayload(const std::wstring& source, const std::wstring& destDir, const std::wstring& destName)
{
    ZvLib_CApplyPayload request(42, source, L"", L"", L"", 0, destDir, destName, 1, 0, nullptr);
    return ApplyRequest(request);
}

inline zv::fw::CHandle ManualEvent(const std::wstring& name, bool signalled = false)
{
    zv::fw::CHandle event(::CreateEventW(nullptr, TRUE, signalled ? TRUE : FALSE, name.c_str()));
    if (event && signalled) ::SetEvent(event.Get());
    return event;
}

inline std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

} // namespace zv::test
