#pragma once
// Portable text helpers of the updater library. Text is UTF-16 held in wchar_t on
// every platform (on Linux each wchar_t holds one UTF-16 code unit).
#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

namespace zv {

// printf-style formatting with the library's conventions: "%s" takes a wide string
// on every platform. The result is cut to at most capacity - 1 characters.
std::wstring FormatV(size_t capacity, const wchar_t* format, va_list args);
std::wstring Format(size_t capacity, const wchar_t* format, ...);

// UTF-16 (surrogate pairs joined) to UTF-8, and back; invalid units become U+FFFD.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// A decimal number read as wcstol reads a long (leading white space and a sign
// accepted, reading stops at the first non-digit, no digits give 0), saturating to
// the range of a 32-bit long as on Windows.
int ReadDecimal(const std::wstring& text);

} // namespace zv

// Puts double quotes round a text of two or more characters where they are missing.
// Returns whether the text was changed.
bool QuoteIfNeeded(std::wstring& text);

// Splits at separator after trimming blanks, tabs, CR and LF from both ends; each piece
// is read as a decimal long (a piece without digits gives 0).
void ParseIntList(const std::wstring& text, wchar_t separator, std::vector<int>& out);

// The part of a path before its last "/" or, when it has none, its last "\".
std::wstring GetDirectoryPart(const std::wstring& path);
