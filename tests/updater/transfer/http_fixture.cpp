#include "http_fixture.h"

#include "support/test_paths.h"
#include "updater/base/text_helpers.h"

#include <windows.h>

#include <sstream>

namespace zv::test {

namespace {

std::wstring Trim(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return zv::FromUtf8(text);
}

} // namespace

std::wstring HttpUrl(Server server, const std::wstring& path)
{
    const wchar_t* file = server == Server::nginx ? L"http-state/nginx.port"
                          : server == Server::fault ? L"http-state/fault.port"
                                                    : L"http-state/closed.port";
    std::wstring port = Trim(ReadFileBytes(BuildPath(file)));
    return L"http://127.0.0.1:" + port + path;
}

std::string ServedFile(const std::wstring& name)
{
    return ReadFileBytes(BuildPath(L"http-state/www/" + name));
}

std::string FaultContent(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + 7) % 256);
    return s;
}

std::vector<std::string> AccessLogLines(const std::string& marker)
{
    std::vector<std::string> out;
    std::istringstream in(ReadFileBytes(BuildPath(L"http-state/nginx/access.log")));
    std::string line;
    while (std::getline(in, line))
        if (line.find(marker) != std::string::npos) out.push_back(line);
    return out;
}

std::wstring UniqueMarker(const std::wstring& prefix)
{
    static LONG counter = 0;
    return zv::Format(128, L"%s-%lu-%ld-%llu", prefix.c_str(), ::GetCurrentProcessId(), ::InterlockedIncrement(&counter),
                      static_cast<unsigned long long>(::GetTickCount64()));
}

} // namespace zv::test
