#include "updater/transfer/path_split.h"

namespace zv {

bool SplitPathBounded(std::wstring_view path, PathParts& parts)
{
    parts = PathParts{};
    PathParts out;
    std::wstring_view rest = path;
    if (rest.size() >= 2 && rest[1] == L':') {
        out.drive.assign(rest.substr(0, 2));
        rest.remove_prefix(2);
    }
    size_t lastSep = rest.find_last_of(L"\\/");
    if (lastSep != std::wstring_view::npos) {
        out.dir.assign(rest.substr(0, lastSep + 1));
        rest.remove_prefix(lastSep + 1);
    }
    size_t dot = rest.find_last_of(L'.');
    if (dot != std::wstring_view::npos) {
        out.ext.assign(rest.substr(dot));
        rest = rest.substr(0, dot);
    }
    out.name.assign(rest);
    if (out.drive.size() >= kDriveChars || out.dir.size() >= kPartChars || out.name.size() >= kPartChars ||
        out.ext.size() >= kPartChars)
        return false;
    parts = std::move(out);
    return true;
}

bool IsFullPath(std::wstring_view path)
{
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    auto letter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
    if (path.size() >= 3 && letter(path[0]) && path[1] == L':' && separator(path[2])) return true;
    return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

} // namespace zv
