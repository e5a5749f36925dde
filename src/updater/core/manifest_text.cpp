#include "updater/core/manifest_text.h"

namespace zv::core {

namespace {

wchar_t Lower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

} // namespace

std::wstring ToLowerAscii(std::wstring text)
{
    for (auto& c : text) c = Lower(c);
    return text;
}

std::wstring ToUpperAscii(std::wstring text)
{
    for (auto& c : text)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::wstring Trim(const std::wstring& text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

int CategoryOf(const std::wstring& text)
{
    if (EqualsNoCase(text, L"Required")) return 0;
    if (EqualsNoCase(text, L"Recommended")) return 1;
    return 2;
}

} // namespace zv::core
