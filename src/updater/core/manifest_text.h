#pragma once
// Text rules of the manifest: ids and languages compare by case of ASCII letters,
// pieces are trimmed of blanks, tabs and line ends.
#include <string>
#include <string_view>
#include <vector>

namespace zv::core {

std::wstring ToLowerAscii(std::wstring text);
std::wstring ToUpperAscii(std::wstring text);
// Views: callers compare with literals, which need no string made for them.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
std::wstring Trim(std::wstring_view text);
std::wstring_view TrimView(std::wstring_view text);
void TrimInPlace(std::wstring& text);
void UpperAsciiInPlace(std::wstring& text);

// A decimal read as zv::ReadDecimal reads it, from a view.
int ReadDecimalView(std::wstring_view text);

// A comma-separated list of decimal ids, as ParseIntList reads it (trimmed of blanks,
// tabs and line ends; a comma at the very end adds nothing), into out (emptied first).
void ParseIdList(const std::wstring& text, std::vector<int>& out);

// "category": "Required" 0, "Recommended" 1, anything else 2, without regard to case.
int CategoryOf(std::wstring_view text);

} // namespace zv::core
