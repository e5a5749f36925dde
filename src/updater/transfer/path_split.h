#pragma once
// Splitting a path into drive, folder, name and extension within fixed bounds, in the
// manner of the runtime's bounded splitter: a part that does not fit fails the split
// instead of overrunning anything.
#include <string>
#include <string_view>

namespace zv {

struct PathParts {
    std::wstring drive; // "C:" or empty
    std::wstring dir;   // up to and including the last separator
    std::wstring name;
    std::wstring ext;   // with its dot
};

// Room for each part, terminator included.
inline constexpr size_t kDriveChars = 3;
inline constexpr size_t kPartChars = 256;

// False (and every part empty) when a part would not fit its room.
bool SplitPathBounded(std::wstring_view path, PathParts& parts);

// A path that names the same place whatever the process's current drive and folder:
// a drive letter, ":" and a separator ("C:\x"), or two separators and a server ("\\srv\x").
bool IsFullPath(std::wstring_view path);

} // namespace zv
