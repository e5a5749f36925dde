#include "updater/transfer/inet_query.h"

#include "updater/base/text_helpers.h"

namespace zv::inet {

std::wstring ErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                  (error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST ? FORMAT_MESSAGE_FROM_HMODULE
                                                                                 : FORMAT_MESSAGE_FROM_SYSTEM);
    DWORD n = ::FormatMessageW(flags, ::GetModuleHandleW(L"wininet.dll"), error, 0, reinterpret_cast<wchar_t*>(&text),
                               0, nullptr);
    std::wstring result;
    if (n && text) {
        result.assign(text, n);
        while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
            result.pop_back();
    }
    if (text) ::LocalFree(text);
    if (result.empty()) result = zv::Format(64, L"WinINet error %u", static_cast<unsigned>(error));
    else result = zv::Format(1024, L"%s (error %u)", result.c_str(), static_cast<unsigned>(error));
    return result;
}

bool QueryText(HINTERNET request, DWORD what, std::wstring& out)
{
    DWORD bytes = 0;
    ::HttpQueryInfoW(request, what, nullptr, &bytes, nullptr);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return false;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!::HttpQueryInfoW(request, what, text.data(), &bytes, nullptr)) return false;
    text.resize(bytes / sizeof(wchar_t));
    out = text;
    return true;
}

int QueryStatus(HINTERNET request)
{
    DWORD code = 0, size = sizeof(code);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr)) return 0;
    return static_cast<int>(code);
}

Length QueryContentLength(HINTERNET request, uint32_t& length)
{
    length = 0;
    std::wstring text;
    if (!QueryText(request, HTTP_QUERY_CONTENT_LENGTH, text)) return Length::absent;
    uint64_t value = 0;
    size_t digits = 0;
    for (wchar_t c : text) {
        if (c == L' ' || c == L'\t') continue;
        if (c < L'0' || c > L'9') return Length::absurd;
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value > 0xFFFFFFFFull) return Length::absurd;
        ++digits;
    }
    if (digits == 0) return Length::absurd;
    length = static_cast<uint32_t>(value);
    return Length::valid;
}

} // namespace zv::inet
