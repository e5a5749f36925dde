#pragma once
// Reading a whole file for the XML reader: wide paths on Windows, UTF-8 paths elsewhere.
#include <cstddef>
#include <string>

namespace zv::xml {

// Reads the file into bytes. On failure returns false with the C runtime's error
// text (cut at the first CR or LF) in error. A file larger than maxBytes is refused.
bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes, std::wstring& error);

} // namespace zv::xml
