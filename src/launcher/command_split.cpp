#include "launcher/command_split.h"

#include "updater/base/text_helpers.h"

namespace zv::launcher {
CommandParts SplitCommand(const std::wstring& value)
{
    if (!value.empty() && value[0] == L'"') {
        size_t close = value.find(L'"', 1);
        if (close == std::wstring::npos) return {value.substr(1), {}};
        return {value.substr(1, close - 1), zv::Trim(value.substr(close + 1), L" \t")};
    }
    for (size_t p = value.find(L' '); p != std::wstring::npos; p = value.find(L' ', p + 1)) {
        if (p < 4) continue;
        std::wstring ext = value.substr(p - 4, 4);
        if (ext == L".exe" || ext == L".EXE") return {value.substr(0, p), zv::Trim(value.substr(p + 1), L" \t")};
    }
    return {value, {}};
}

void CleanCommandPath(std::wstring& path)
{
    path = SplitCommand(path).program;
}

bool IsAbsoluteWindowsPath(const std::wstring& path)
{
    if (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) {
        wchar_t d = path[0];
        return (d >= L'A' && d <= L'Z') || (d >= L'a' && d <= L'z');
    }
    return path.size() >= 3 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/');
}

} // namespace zv::launcher
