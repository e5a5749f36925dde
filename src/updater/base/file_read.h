#pragma once
// Reading files by their wide paths (UTF-8 paths natively). Opening and the runtime's
// error text have one implementation per platform, chosen by the build.
#include <cstddef>
#include <cstdio>
#include <string>

namespace zv {

// Opens path for reading in binary mode; null with errno set on failure.
std::FILE* OpenFileForReading(const std::wstring& path);
// The runtime's text for an errno value, first line only.
std::wstring RuntimeErrorText(int error);

// Reads the file into bytes. On failure returns false with the runtime's error text in
// error. A file larger than maxBytes is refused.
bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes, std::wstring& error);

} // namespace zv
