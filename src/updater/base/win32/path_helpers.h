#pragma once
// Folders the updater library works in (Windows).
#include <string>

// The common application-data folder with one backslash appended.
std::wstring GetCommonAppDataDir();
// GetCommonAppDataDir() + "QuorShrd\Updater", no trailing backslash.
std::wstring GetSharedUpdaterDir();
namespace zv {
// The full path of the running executable, however long; empty when it cannot be read.
std::wstring ModulePath();
}
// The folder of the running executable.
std::wstring GetModuleDirectory();
// The folder that holds the executable's folder; empty when there is none.
std::wstring GetParentOfModuleDirectory();
