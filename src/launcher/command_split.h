#pragma once
// Splits a registered command ("App Paths" default value) into the program path and the
// arguments that follow it. Portable: no file system, no environment.
#include <string>

namespace zv::launcher {

struct CommandParts {
    std::wstring program;
    std::wstring arguments; // without surrounding blanks; empty when none
};

// A value opening with a double quote: the program is the text up to the closing quote
// (the rest of the value when there is none). Otherwise the program ends at the first
// space that follows ".exe" or ".EXE" (only these two spellings), or is the whole value.
CommandParts SplitCommand(const std::wstring& value);

// Turns a registry command string into its program path, in place.
void CleanCommandPath(std::wstring& path);

// True for "X:\..." and "\\server\..." paths; "X:file", "\file" and "file" are relative.
bool IsAbsoluteWindowsPath(const std::wstring& path);

} // namespace zv::launcher
