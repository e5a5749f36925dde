// zvtool: the project's command-line tool for deployment engineers and tests.
#include "command.h"

#include "updater/base/text_helpers.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace zv::tool {

namespace {

std::vector<Command>& Table()
{
    static std::vector<Command> table;
    return table;
}

void Write(FILE* f, const std::wstring& text)
{
    std::string bytes = zv::ToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
}

void PrintHelp()
{
    Out(L"usage: zvtool COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& c : Commands())
        Out(L"  " + zv::FromUtf8(c.name) + L" " + zv::FromUtf8(c.usage) + L"\n      " + zv::FromUtf8(c.summary) + L"\n");
    Out(L"  --help\n      this text\n");
}

int Run(const std::vector<std::wstring>& argv)
{
    if (argv.size() < 2 || argv[1] == L"--help" || argv[1] == L"-h" || argv[1] == L"help") {
        PrintHelp();
        return argv.size() < 2 ? 2 : 0;
    }
    for (const auto& c : Commands()) {
        if (zv::FromUtf8(c.name) == argv[1]) return c.run(Args(argv.begin() + 2, argv.end()));
    }
    Err(L"zvtool: unknown command '" + argv[1] + L"' (see zvtool --help)\n");
    return 2;
}

} // namespace

void Register(const Command& command)
{
    Table().push_back(command);
}

const std::vector<Command>& Commands()
{
    return Table();
}

void Out(const std::wstring& text)
{
    Write(stdout, text);
}

void Err(const std::wstring& text)
{
    Write(stderr, text);
}

int UsageError(const char* command, const std::wstring& message)
{
    Err(L"zvtool " + zv::FromUtf8(command) + L": " + message + L"\n");
    for (const auto& c : Commands())
        if (std::string(c.name) == command) Err(L"usage: zvtool " + zv::FromUtf8(c.name) + L" " + zv::FromUtf8(c.usage) + L"\n");
    return 2;
}

bool IsOption(const std::wstring& arg)
{
    return arg.rfind(L"--", 0) == 0;
}

bool TakeValue(const Args& args, size_t& i, std::wstring& value)
{
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
}

bool SplitNameValue(const std::wstring& text, std::wstring& name, std::wstring& value)
{
    size_t eq = text.find(L'=');
    if (eq == std::wstring::npos || eq == 0) return false;
    name = text.substr(0, eq);
    value = text.substr(eq + 1);
    return true;
}

} // namespace zv::tool

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::wstring> args(argv, argv + argc);
    return zv::tool::Run(args);
}
#else
int main(int argc, char** argv)
{
    std::vector<std::wstring> args;
    for (int i = 0; i < argc; ++i) args.push_back(zv::FromUtf8(argv[i]));
    return zv::tool::Run(args);
}
#endif
