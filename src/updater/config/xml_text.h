#pragma once
// Character-level helpers of the XML reader: UTF-8 decoding, entity references and
// escaping for writing. Text is UTF-16 in wchar_t on every platform.
#include <cstddef>
#include <cstdint>
#include <string>

namespace zv::xml {

inline bool IsXmlSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// What may follow "<" to start a tag: a letter (every character above "`" counts),
// "_" or ":".
inline bool IsNameStart(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || c == L'_' || c == L':' || c > 96;
}

// Plain loops for the short spans of names and values, where a library call costs
// more than the search.
inline const wchar_t* FindChar(const wchar_t* p, const wchar_t* end, wchar_t c)
{
    for (; p < end; ++p)
        if (*p == c) return p;
    return nullptr;
}

inline bool SameChars(const wchar_t* a, const wchar_t* b, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Decodes UTF-8 into out (replacing its content). A malformed or truncated sequence
// becomes one "?" and decoding goes on after it; a zero byte ends the text. Code
// points above U+FFFF become surrogate pairs. Returns false, with out empty, when the
// text would take more than maxChars characters.
bool DecodeUtf8(const char* bytes, size_t size, std::wstring& out, size_t maxChars = SIZE_MAX);

// Appends text to out with the five predefined entities and numeric character
// references replaced; any other "&" is kept as written.
void AppendDecoded(const wchar_t* text, size_t length, std::wstring& out);

// "<", "&", ">" as entities; in attribute values also the apostrophe and the
// double quote. Every "&" is escaped, even one that starts a reference.
std::wstring Escape(const wchar_t* text, bool forAttribute);

} // namespace zv::xml
