#include "launcher/command_line.h"

#include <climits>

namespace zv::launcher {
namespace {

constexpr wchar_t kSplashPrefix[] = L"splash_duration:";
constexpr size_t kSplashPrefixLength = sizeof(kSplashPrefix) / sizeof(kSplashPrefix[0]) - 1;

// Switch names are ASCII; folding only ASCII letters keeps the test independent of the locale.
wchar_t FoldAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualsNoCase(const std::wstring& text, const wchar_t* word)
{
    size_t i = 0;
    for (; word[i] != L'\0'; ++i) {
        if (i >= text.size() || FoldAscii(text[i]) != word[i]) return false;
    }
    return i == text.size();
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix, size_t prefixLength)
{
    if (text.size() < prefixLength) return false;
    for (size_t i = 0; i < prefixLength; ++i) {
        if (FoldAscii(text[i]) != prefix[i]) return false;
    }
    return true;
}

} // namespace

int LeadingInteger(const std::wstring& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

void KECommandLineInfo::ParseParam(const std::wstring& param, bool isFlag, bool /*isLast*/)
{
    if (!isFlag) return; // plain arguments (file names and the like) mean nothing to the launcher
    if (EqualsNoCase(param, L"x")) {
        m_bCloseRunning = true;
    } else if (EqualsNoCase(param, L"s")) {
        m_bSilent = true;
    } else if (StartsWithNoCase(param, kSplashPrefix, kSplashPrefixLength)) {
        int ms = LeadingInteger(param.substr(kSplashPrefixLength));
        m_nSplashDurationMs = (ms < 0 || ms > kMaxSplashDurationMs) ? kDefaultSplashDurationMs : ms;
    }
}

void KECommandLineInfo::ParseArguments(const std::vector<std::wstring>& arguments)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& arg = arguments[i];
        bool isFlag = !arg.empty() && (arg[0] == L'-' || arg[0] == L'/');
        ParseParam(isFlag ? arg.substr(1) : arg, isFlag, i + 1 == arguments.size());
    }
}

} // namespace zv::launcher
