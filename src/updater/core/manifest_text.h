#pragma once
// Text rules of the manifest: ids and languages compare by case of ASCII letters,
// pieces are trimmed of blanks, tabs and line ends.
#include <string>

namespace zv::core {

std::wstring ToLowerAscii(std::wstring text);
std::wstring ToUpperAscii(std::wstring text);
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
std::wstring Trim(const std::wstring& text);

// "category": "Required" 0, "Recommended" 1, anything else 2, without regard to case.
int CategoryOf(const std::wstring& text);

} // namespace zv::core
