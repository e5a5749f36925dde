#pragma once
// Portable text helpers of the updater library. Text is UTF-16 held in wchar_t on
// every platform (on Linux each wchar_t holds one UTF-16 code unit).
#include "updater/base/checked_format.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zv {

// printf-style formatting with the library's conventions: "%s" takes a wide string
// on every platform. The result is cut to at most capacity - 1 characters.
// Format checks its format against the arguments while compiling.
std::wstring FormatV(size_t capacity, const wchar_t* format, va_list args);
std::wstring FormatUnchecked(size_t capacity, const wchar_t* format, ...);
template <class... Args>
std::wstring Format(size_t capacity, CheckedFormat<Args...> format, const Args&... args)
{
    return FormatUnchecked(capacity, format.Text(), args...);
}

// UTF-16 (surrogate pairs joined) to UTF-8, and back; invalid units become U+FFFD.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// The value of a hexadecimal digit (either case), or -1 for any other character.
constexpr int HexDigitValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// A few characters below 64 as a mask, for scans that stop at a handful of ASCII marks:
// a membership test is then one shift instead of a comparison per mark.
constexpr uint64_t LowAsciiSet(const wchar_t* chars)
{
    uint64_t set = 0;
    for (; *chars; ++chars) set |= uint64_t{1} << static_cast<unsigned>(*chars);
    return set;
}

constexpr bool InLowAsciiSet(wchar_t c, uint64_t set)
{
    const auto code = static_cast<uint32_t>(c);
    return code < 64 && ((set >> code) & 1);
}

// A..Z to a..z; every other character stays as it is.
constexpr wchar_t ToLowerAscii(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}
void LowerAsciiInPlace(std::wstring& text);

// The C library's white space: blank, tab, line feed, vertical tab, form feed, CR.
constexpr bool IsCSpace(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// The text without the characters of blanks at either end (or only at its end).
constexpr const wchar_t* kLineBlanks = L" \t\r\n";
std::wstring Trim(const std::wstring& text, const wchar_t* blanks = kLineBlanks);
std::wstring TrimEnd(const std::wstring& text, const wchar_t* blanks = kLineBlanks);

// Leading decimal digits read the way the C library's conversions read them: white
// space and a sign first, reading stops at the first non-digit. The magnitude
// saturates at UINT64_MAX (overflow set); without digits the result is a positive 0.
struct LeadingDecimal {
    bool negative = false;
    bool any = false;
    bool overflow = false;
    uint64_t magnitude = 0;
};
LeadingDecimal ReadLeadingDecimal(const std::wstring& text);

// A decimal number read as wcstol reads a long (leading white space and a sign
// accepted, reading stops at the first non-digit, no digits give 0), saturating to
// the range of a 32-bit long as on Windows.
int ReadDecimal(const std::wstring& text);
// The same reading as an unsigned long (a minus sign negates modulo 2^32), and as 64-bit
// numbers; out-of-range values saturate.
uint32_t ReadDecimalUInt32(const std::wstring& text);
int64_t ReadDecimalInt64(const std::wstring& text);
uint64_t ReadDecimalUInt64(const std::wstring& text);

} // namespace zv

// Puts double quotes round a text of two or more characters where they are missing.
// Returns whether the text was changed.
bool QuoteIfNeeded(std::wstring& text);

// Splits at separator after trimming blanks, tabs, CR and LF from both ends; each piece
// is read as a decimal long (a piece without digits gives 0).
void ParseIntList(const std::wstring& text, wchar_t separator, std::vector<int>& out);

// The part of a path before its last "/" or, when it has none, its last "\".
std::wstring GetDirectoryPart(const std::wstring& path);
