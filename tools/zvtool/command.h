#pragma once
// zvtool's commands: each file registers its own with ZVTOOL_COMMAND.
#include <string>
#include <vector>

namespace zv::tool {

using Args = std::vector<std::wstring>; // the arguments after the command name

struct Command {
    const char* name;
    const char* usage;   // one line: the arguments
    const char* summary; // one line: what it does
    int (*run)(const Args& args);
};

void Register(const Command& command);
const std::vector<Command>& Commands();

// Output as UTF-8 on standard output / standard error, LF line ends, flushed.
void Out(const std::wstring& text);
void Err(const std::wstring& text);

// A usage error: prints it with the command's usage line and returns exit code 2.
int UsageError(const char* command, const std::wstring& message);

// Options: "--name", or "--name VALUE" where the option at args[i] takes the next
// argument. TakeValue moves i onto the value; false when the option is the last argument.
bool IsOption(const std::wstring& arg);
bool TakeValue(const Args& args, size_t& i, std::wstring& value);
// "NAME=VALUE" with a non-empty name.
bool SplitNameValue(const std::wstring& text, std::wstring& name, std::wstring& value);

struct Registrar {
    explicit Registrar(const Command& c) { Register(c); }
};

} // namespace zv::tool

#define ZVTOOL_COMMAND(ident, name, usage, summary, fn) \
    static const ::zv::tool::Registrar zvtool_registrar_##ident({name, usage, summary, fn})
