#include "launcher/command_split.h"

namespace zv::launcher {
namespace {

std::wstring TrimBlanks(const std::wstring& text)
{
    size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    size_t last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

CommandParts SplitCommand(const std::wstring& value)
{
    if (!value.empty() && value[0] == L'"') {
        size_t close = value.find(L'"', 1);
        if (close == std::wstring::npos) return {value.substr(1), {}};
        return {value.substr(1, close - 1), TrimBlanks(value.substr(close + 1))};
    }
    for (size_t p = value.find(L' '); p != std::wstring::npos; p = value.find(L' ', p + 1)) {
        if (p < 4) continue;
        std::wstring ext = value.substr(p - 4, 4);
        if (ext == L".exe" || ext == L".EXE") return {value.substr(0, p), TrimBlanks(value.substr(p + 1))};
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
