#pragma once
// Writes that survive a crash or a power cut (Windows): bytes reach the disk before a
// name points at them, and a whole file replaces the old one in one step.
#include <string>

namespace zv {

// Flushes what has been written to `path` through any handle. Raises
// zv::fw::CFileException when the file cannot be opened for writing or flushed.
void FlushFileToDisk(const std::wstring& path);

// Copies `from` to `to` through a temporary file beside `to` that is flushed and then
// renamed over it: `to` is either its old self or the whole copy, never a part. On
// failure the temporary file is removed, `to` is untouched and GetLastError tells why.
bool CopyFileDurably(const std::wstring& from, const std::wstring& to);

} // namespace zv
