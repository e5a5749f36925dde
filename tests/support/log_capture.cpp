#include "support/log_capture.h"

#include "updater/base/log.h"

#include <mutex>

namespace zv::test {

namespace {

// Lines may come from any thread the library runs.
std::mutex g_linesLock;
std::vector<std::wstring> g_lines;

void Collect(const wchar_t* line)
{
    std::lock_guard<std::mutex> lock(g_linesLock);
    g_lines.emplace_back(line);
}

} // namespace

LogLines::LogLines(int level)
{
    Clear();
    zv::Log().Enable();
    zv::Log().SetLevel(level);
    zv::Log().SetEcho(Collect);
}

LogLines::~LogLines()
{
    zv::Log().SetEcho(nullptr);
    zv::Log().SetLevel(0);
}

std::vector<std::wstring> LogLines::All() const
{
    std::lock_guard<std::mutex> lock(g_linesLock);
    return g_lines;
}

std::vector<std::wstring> LogLines::With(const std::wstring& text) const
{
    std::vector<std::wstring> out;
    for (const auto& l : All())
        if (l.find(text) != std::wstring::npos) out.push_back(l);
    return out;
}

void LogLines::Clear()
{
    std::lock_guard<std::mutex> lock(g_linesLock);
    g_lines.clear();
}

} // namespace zv::test
