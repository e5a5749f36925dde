#pragma once
// Where a payload and its signature are stored: names taken from the manifest become
// file names inside the download folder, and never more than a file name.
#include <string>
#include <string_view>

namespace zv::core {

// The file name an address names: the part after its last "/", the query ("?") and
// fragment ("#") cut off first.
std::wstring UrlFileName(std::wstring_view url);
// The same as a view into url.
std::wstring_view UrlFileNameView(std::wstring_view url);

// A name that stays in the folder it is put in: no "\", "/", ":" and no "..", and not ".".
bool IsPlainFileName(std::wstring_view name);

// Base name before the last "." and extension after it (empty when there is none).
void SplitFileName(const std::wstring& name, std::wstring& base, std::wstring& extension);

// Views of the caller's texts, which outlive the call.
struct PayloadNames {
    std::wstring_view desiredMsiFilename; // from the manifest, may be empty
    std::wstring_view url;
    std::wstring_view destFilename;       // the ApplyAction's, may be empty
};

// The payload's path below tempDir (which ends in a backslash).
std::wstring LocalPayloadPath(const std::wstring& tempDir, const std::wstring& productAbbr, int manifestId, const PayloadNames& names);
// The same into path, whose storage is reused.
void LocalPayloadPath(const std::wstring& tempDir, const std::wstring& productAbbr, int manifestId, const PayloadNames& names, std::wstring& path);

} // namespace zv::core
