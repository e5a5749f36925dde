#include "updater/base/text_helpers.h"

#include <climits>
#include <cwchar>

namespace zv {

namespace {

// "%s" and "%c" mean wide text in the library's format strings (as on Windows);
// the C library wants "%ls" and "%lc" for that on Linux and in ISO mode on MinGW.
std::wstring PortableFormat(const wchar_t* format)
{
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        out += *p;
        if (*p != L'%') continue;
        ++p;
        if (*p == L'%') {
            out += *p;
            continue;
        }
        // flags, width, precision
        while (*p && std::wcschr(L"-+ #0123456789.*", *p)) out += *p++;
        bool hasLength = false;
        while (*p && std::wcschr(L"hlLqjztI", *p)) {
            hasLength = true;
            out += *p++;
        }
        if (!*p) break;
        if ((*p == L's' || *p == L'c') && !hasLength) out += L'l';
        out += *p;
    }
    return out;
}

} // namespace

std::wstring FormatV(size_t capacity, const wchar_t* format, va_list args)
{
    if (!format || capacity == 0) return std::wstring();
    std::wstring fmt = PortableFormat(format);
    std::wstring buffer(capacity, L'\0');
    int n = std::vswprintf(buffer.data(), capacity, fmt.c_str(), args);
    if (n < 0) {
        // Too long (or an encoding error): keep what fitted.
        buffer[capacity - 1] = L'\0';
        buffer.resize(std::wcslen(buffer.c_str()));
    } else {
        buffer.resize(static_cast<size_t>(n) < capacity ? static_cast<size_t>(n) : capacity - 1);
    }
    return buffer;
}

std::wstring Format(size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring s = FormatV(capacity, format, args);
    va_end(args);
    return s;
}

std::string ToUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = static_cast<uint32_t>(text[i]) & 0xFFFFu;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
            uint32_t lo = static_cast<uint32_t>(text[i + 1]) & 0xFFFFu;
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::wstring FromUtf8(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
            if (cp < 0x80) cp = 0xFFFD;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            len = 3;
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < n && (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80 &&
                   (s[i + 3] & 0xC0) == 0x80) {
            cp = ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
            len = 4;
            if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }
    return out;
}

} // namespace zv

bool QuoteIfNeeded(std::wstring& text)
{
    if (text.size() <= 1) return false;
    bool changed = false;
    if (text.front() != L'"') {
        text.insert(text.begin(), L'"');
        changed = true;
    }
    if (text.back() != L'"') {
        text.push_back(L'"');
        changed = true;
    }
    return changed;
}

namespace zv {

int ReadDecimal(const std::wstring& piece)
{
    size_t i = 0;
    while (i < piece.size() && (piece[i] == L' ' || (piece[i] >= L'\t' && piece[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == L'+' || piece[i] == L'-')) negative = piece[i++] == L'-';
    long long value = 0;
    for (; i < piece.size() && piece[i] >= L'0' && piece[i] <= L'9'; ++i) {
        value = value * 10 + (piece[i] - L'0');
        if (value > 1LL << 40) value = 1LL << 40; // far beyond any long; keeps the sum bounded
    }
    if (negative) value = -value;
    // The list holds ints: a long that does not fit saturates like wcstol on Windows.
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

} // namespace zv

namespace {

bool IsTrimmed(wchar_t c, wchar_t separator)
{
    return c != separator && (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n');
}

} // namespace

void ParseIntList(const std::wstring& text, wchar_t separator, std::vector<int>& out)
{
    out.clear();
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsTrimmed(text[first], separator)) ++first;
    while (last > first && IsTrimmed(text[last - 1], separator)) --last;
    if (first == last) return;
    size_t start = first;
    for (size_t i = first; i <= last; ++i) {
        if (i == last || text[i] == separator) {
            if (i == last && start == last && last > first) break; // separator at the very end
            out.push_back(zv::ReadDecimal(text.substr(start, i - start)));
            start = i + 1;
        }
    }
}

std::wstring GetDirectoryPart(const std::wstring& path)
{
    // The working buffer holds 260 characters.
    std::wstring buffer = path.substr(0, 259);
    size_t pos = buffer.rfind(L'/');
    if (pos == std::wstring::npos) pos = buffer.rfind(L'\\');
    if (pos == std::wstring::npos) return path;
    return buffer.substr(0, pos);
}
