#pragma once
// Whether the connection utility is installed, which version, under which brand, and
// how its registered command becomes the program that is started.
#include <optional>
#include <string>

namespace zv::launcher {

inline constexpr wchar_t kUtilityAppPathsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KVCHHost.exe";
inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorvane\\Tandemix";
inline constexpr wchar_t kUnknownVersion[] = L"0.00.00";

// The program a registered command names, expanded and checked, with the command's own
// arguments (expanded too).
struct ResolvedCommand {
    std::wstring program;
    std::wstring arguments;
};

// Nothing when the program is empty, relative (nothing is searched for on PATH or in the
// current folder), longer than the expansion buffer once expanded, or not an existing file.
std::optional<ResolvedCommand> ResolveCommandPath(const std::wstring& command, bool clean);
// Works on a copy; the argument is never changed.
bool CommandPathExists(const std::wstring& command, bool clean);

struct InstalledUtility {
    std::wstring command; // the registered value exactly as read
    ResolvedCommand resolved;
};

// Reads the utility's registration (the 32-bit registry view when the normal one has no
// key). No side effects, so any thread may ask.
std::optional<InstalledUtility> FindInstalledUtility();
// The installed product's "Version", or "0.00.00" when it cannot be read.
std::wstring ReadInstalledVersion();
// The regional brand: by "Flavor", else by "Language" when the utility is installed (neither
// readable: the main brand); by the system default language when it is not.
bool IsRegionalBrand();

// The application object's share of detection and launch; main thread only.
class CUtilityLauncher {
public:
    virtual ~CUtilityLauncher() = default;

    // On success remembers the registered command in m_strUtilityPath.
    bool IsUtilityInstalled(std::wstring* version = nullptr);
    // Starts the utility with its own arguments followed by m_strLaunchParams, then clears
    // m_strLaunchParams whatever happened. Returns whether the shell started it.
    bool LaunchUtility();

    std::wstring m_strUtilityPath;  // the registered command as read; empty until detected
    std::wstring m_strLaunchParams; // empty or "-p"
};

} // namespace zv::launcher
