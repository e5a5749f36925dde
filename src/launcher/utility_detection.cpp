#include "launcher/utility_detection.h"

#include "framework/reg_key.h"
#include "launcher/command_split.h"
#include "launcher/shell_open.h"
#include "updater/base/log.h"

#include <windows.h>

#include <vector>

namespace zv::launcher {
namespace {

constexpr DWORD kExpandBufferChars = 512;

// The key in the normal view, else in the 32-bit view.
bool OpenMachineKey(fw::CRegKey& key, const wchar_t* path)
{
    if (key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ) == ERROR_SUCCESS) return true;
    return key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WOW64_32KEY) == ERROR_SUCCESS;
}

// Expands into a buffer of the given size; nothing when the result does not fit or fails.
std::optional<std::wstring> Expand(const std::wstring& text, DWORD bufferChars)
{
    std::vector<wchar_t> buf(bufferChars);
    DWORD n = ::ExpandEnvironmentStringsW(text.c_str(), buf.data(), bufferChars);
    if (n == 0 || n > bufferChars) return std::nullopt;
    return std::wstring(buf.data());
}

std::wstring ExpandAnyLength(const std::wstring& text)
{
    DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    auto expanded = Expand(text, needed);
    return expanded ? *expanded : text;
}

std::wstring JoinArguments(const std::wstring& first, const std::wstring& second)
{
    if (first.empty()) return second;
    if (second.empty()) return first;
    return first + L" " + second;
}

} // namespace

std::optional<ResolvedCommand> ResolveCommandPath(const std::wstring& command, bool clean)
{
    CommandParts parts = clean ? SplitCommand(command) : CommandParts{command, {}};
    std::wstring& program = parts.program;
    while (!program.empty() && program.back() == L'\\') program.pop_back();
    if (program.empty()) return std::nullopt;

    auto expanded = Expand(program, kExpandBufferChars);
    if (!expanded) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: the utility path does not fit %u characters once expanded: %s",
                    static_cast<unsigned>(kExpandBufferChars), program.c_str());
        return std::nullopt;
    }
    if (!IsAbsoluteWindowsPath(*expanded)) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: the utility path is not absolute, not used: %s", expanded->c_str());
        return std::nullopt;
    }
    DWORD attributes = ::GetFileAttributesW(expanded->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    return ResolvedCommand{*expanded, ExpandAnyLength(parts.arguments)};
}

bool CommandPathExists(const std::wstring& command, bool clean)
{
    return ResolveCommandPath(command, clean).has_value();
}

std::optional<InstalledUtility> FindInstalledUtility()
{
    fw::CRegKey key;
    if (!OpenMachineKey(key, kUtilityAppPathsKey)) return std::nullopt;
    auto value = key.QueryString(L"");
    if (!value) return std::nullopt;
    if (value->empty()) {
        zv::Log().Log(zv::ZVLOG_INFO1, L"Launcher: the utility's registration is empty");
        return std::nullopt;
    }
    auto resolved = ResolveCommandPath(*value, true);
    if (!resolved) return std::nullopt;
    return InstalledUtility{*value, std::move(*resolved)};
}

std::wstring ReadInstalledVersion()
{
    fw::CRegKey key;
    if (OpenMachineKey(key, kProductKey)) {
        if (auto version = key.QueryString(L"Version")) return *version;
    }
    return kUnknownVersion;
}

bool IsRegionalBrand()
{
    if (!FindInstalledUtility()) return ::GetSystemDefaultLangID() == 0x0411;
    fw::CRegKey key;
    if (!OpenMachineKey(key, kProductKey)) return false;
    if (auto flavor = key.QueryString(L"Flavor")) return *flavor == L"Tessaron";
    if (auto language = key.QueryString(L"Language")) return *language == L"JPN";
    return false;
}

bool CUtilityLauncher::IsUtilityInstalled(std::wstring* version)
{
    auto installed = FindInstalledUtility();
    if (!installed) return false;
    m_strUtilityPath = installed->command;
    if (version) *version = ReadInstalledVersion();
    return true;
}

bool CUtilityLauncher::LaunchUtility()
{
    if (m_strUtilityPath.empty()) IsUtilityInstalled();
    bool started = false;
    if (!m_strUtilityPath.empty()) {
        // The program that passed the test is the program started, not a second reading.
        if (auto resolved = ResolveCommandPath(m_strUtilityPath, true)) {
            started = ShellOpen(resolved->program, JoinArguments(resolved->arguments, m_strLaunchParams), nullptr,
                                true);
            if (!started)
                zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: the shell did not start %s (%u)", resolved->program.c_str(),
                            static_cast<unsigned>(::GetLastError()));
        }
    }
    // Parameters belong to one attempt; a later plain start must not inherit "-p".
    m_strLaunchParams.clear();
    return started;
}

} // namespace zv::launcher
