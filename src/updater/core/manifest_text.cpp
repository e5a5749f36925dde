#include "updater/core/manifest_text.h"

#include "updater/base/text_helpers.h"

#include <algorithm>
#include <climits>
#include <string_view>

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
    UpperAsciiInPlace(text);
    return text;
}

void UpperAsciiInPlace(std::wstring& text)
{
    for (auto& c : text)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::wstring Trim(std::wstring_view text)
{
    return std::wstring(TrimView(text));
}

std::wstring_view TrimView(std::wstring_view text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

void TrimInPlace(std::wstring& text)
{
    size_t last = text.size();
    while (last > 0 && IsBlank(text[last - 1])) --last;
    text.erase(last);
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    text.erase(0, first);
}

int ReadDecimalView(std::wstring_view text)
{
    size_t i = 0;
    while (i < text.size() && zv::IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    // Past INT_MAX + 1 the result saturates: more digits change nothing.
    constexpr unsigned long long kCap = static_cast<unsigned long long>(INT_MAX) + 2;
    unsigned long long magnitude = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        if (magnitude < kCap) magnitude = magnitude * 10 + static_cast<unsigned>(text[i] - L'0');
    if (negative) return magnitude > static_cast<unsigned long long>(INT_MAX) + 1 ? INT_MIN : static_cast<int>(-static_cast<long long>(magnitude));
    return magnitude > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<int>(magnitude);
}

void ParseIdList(const std::wstring& text, std::vector<int>& out)
{
    out.clear();
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    if (first == last) return;
    const std::wstring_view list(text.data() + first, last - first);
    out.reserve(static_cast<size_t>(std::count(list.begin(), list.end(), L',')) + 1);
    // Each piece read where it stands; a comma at the very end adds nothing.
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < list.size() && list[end] != L',') ++end;
        out.push_back(ReadDecimalView(list.substr(start, end - start)));
        if (end == list.size() || end + 1 == list.size()) break;
        start = end + 1;
    }
}

int CategoryOf(std::wstring_view text)
{
    using namespace std::string_view_literals;
    if (EqualsNoCase(text, L"Required"sv)) return 0;
    if (EqualsNoCase(text, L"Recommended"sv)) return 1;
    return 2;
}

} // namespace zv::core
