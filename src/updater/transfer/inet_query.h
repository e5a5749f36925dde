#pragma once
// Small WinINet helpers of the fetcher: an owner for Internet handles, readable error
// texts, and the response headers it reads.
#include "framework/handle.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

namespace zv::inet {

struct HandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::InternetCloseHandle(h); }
};
using Handle = zv::fw::UniqueHandle<HandleTraits>;

// The system's text for a WinINet or Win32 error, with its number.
std::wstring ErrorText(DWORD error);

// One header as text; false when the response lacks it.
bool QueryText(HINTERNET request, DWORD what, std::wstring& out);

// The response's status code, 0 when there is none.
int QueryStatus(HINTERNET request);

enum class Length { absent, valid, absurd };

// Content-Length as a 32-bit count; a value that does not fit is absurd, not truncated.
Length QueryContentLength(HINTERNET request, uint32_t& length);

} // namespace zv::inet
