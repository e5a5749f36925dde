#pragma once
// Replacing a file's whole content so that a crash, a failed write or a full disk
// leaves either the old file or the new one, never a mixture.
#include <cstdint>
#include <string>

namespace zv {

// The temporary name the new content is written to, beside the file.
std::wstring ReplacementPathOf(const std::wstring& path);

// Writes `bytes` to the temporary name, flushes it to disk and renames it over
// `path` (clearing the old file's hidden and read-only attributes first). On failure
// the temporary file is removed, the old file is left as it was, and `error` holds the
// system error code.
bool ReplaceFileContents(const std::wstring& path, const std::string& bytes, uint32_t& error);

} // namespace zv
