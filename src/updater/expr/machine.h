#pragma once
// IMachine: everything the expression language asks of the machine it runs on. The
// portable core (engine, built-in functions, OS classification, seeded variables)
// only talks to this interface; the product implements it over Win32
// (win32/), tests and the native zvtool use the in-memory FakeMachine of the test
// support library.
//
// Conventions: paths and names are Windows texts as the manifest wrote them; every
// call answers, none throws; "false" means the machine could not tell.
#include <cstdint>
#include <string>
#include <vector>

namespace zv::expr {

// What GetVersionEx reports with the extended structure.
struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platformId = 0;   // 2 for the NT family
    uint16_t servicePackMajor = 0;
    uint16_t servicePackMinor = 0;
    uint8_t productType = 0;   // 1 workstation, 2 domain controller, 3 server
};

enum class RegRoot { LocalMachine, ClassesRoot, CurrentUser, Users };

// Registry value types as Windows numbers them.
enum : uint32_t {
    ZV_REG_NONE = 0,
    ZV_REG_SZ = 1,
    ZV_REG_EXPAND_SZ = 2,
    ZV_REG_BINARY = 3,
    ZV_REG_DWORD = 4,
    ZV_REG_MULTI_SZ = 7,
    ZV_REG_QWORD = 11,
};

struct RegData {
    uint32_t type = ZV_REG_NONE;
    std::vector<uint8_t> bytes;   // raw data as the registry holds it (UTF-16LE for texts)
};

enum class RegQuery {
    Ok,
    Missing,   // the key or the value does not exist (file or path not found)
    Failed,    // any other failure (access denied, ...)
};

enum class FileKind { Missing, File, Directory };

struct PowerStatus {
    uint8_t acLineStatus = 255;    // 0 offline, 1 online, 255 unknown
    uint8_t batteryLifePercent = 255;
};

struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 0;
};

class IMachine {
public:
    virtual ~IMachine() = default;

    // Operating system and processor.
    virtual bool GetOsVersion(OsVersion& out) = 0;
    // Native processor architecture code (9 AMD64, 0 x86, others as Windows numbers them).
    virtual int NativeArchitecture() = 0;
    virtual uint32_t ProcessorCount() = 0;
    // Total and available physical memory in bytes; false when it cannot be asked.
    virtual bool GetMemory(uint64_t& totalBytes, uint64_t& availableBytes) = 0;
    virtual bool GetPowerStatus(PowerStatus& out) = 0;
    virtual bool GetDisplayMode(DisplayMode& out) = 0;
    virtual uint32_t UsbHubCount() = 0;

    // Registry, the process's own view, opened for reading.
    virtual RegQuery ReadRegValue(RegRoot root, const std::wstring& subkey, const std::wstring& name, RegData& out) = 0;
    virtual bool RegKeyExists(RegRoot root, const std::wstring& subkey) = 0;
    virtual bool RegValueExists(RegRoot root, const std::wstring& subkey, const std::wstring& name) = 0;
    // Writes a REG_SZ into an existing key (never creates it).
    virtual bool WriteRegString(RegRoot root, const std::wstring& subkey, const std::wstring& name, const std::wstring& text) = 0;

    // Files.
    virtual FileKind GetFileKind(const std::wstring& path) = 0;
    // The four 16-bit parts of the fixed file version; false without version information.
    virtual bool GetFileVersion(const std::wstring& path, uint16_t parts[4]) = 0;
    // Free bytes available to the caller on the volume of the path.
    virtual bool GetAvailableDiskBytes(const std::wstring& path, uint64_t& bytes) = 0;
    virtual bool GetSystemFolder(std::wstring& out) = 0;

    // Windows Installer.
    // Opens the installed product; when it opens, fills its "ProductVersion" (empty when
    // that property cannot be read) and returns true.
    virtual bool OpenInstalledProduct(const std::wstring& productCode, std::wstring& productVersion) = 0;
    // Opens a package file (path canonicalised first) and reads its "ProductCode" and
    // "ProductVersion"; false when the package or a property cannot be read.
    virtual bool ReadPackageProduct(const std::wstring& packagePath, std::wstring& productCode, std::wstring& productVersion) = 0;

    // Top-level windows and messages. A null class or title matches any.
    virtual uint64_t FindTopLevelWindow(const std::wstring* className, const std::wstring* title) = 0;
    virtual void PostWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam) = 0;
    virtual void SendWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam) = 0;
    virtual uint32_t RegisterWindowMessageName(const std::wstring& name) = 0;
    virtual void ShowAlert(const std::wstring& text) = 0;

    // Environment and locale.
    virtual bool GetEnvironment(const std::wstring& name, std::wstring& value) = 0;
    // A shell folder by its CSIDL number. On failure errorStep names the failing step
    // ("SHGetSpecialFolderLocation" or "SHGetPathFromIDList") and errorCode its result.
    virtual bool GetSpecialFolder(int csidl, std::wstring& path, std::wstring& errorStep, long& errorCode) = 0;
    // The folder of the running program, without a trailing backslash.
    virtual std::wstring ProgramDirectory() = 0;
    // The system default UI language: its three-letter abbreviation (upper case) and id.
    virtual bool GetUiLanguage(std::wstring& abbreviation, uint16_t& languageId) = 0;
};

// The machine the process runs on: the one a ScopedProcessMachine put in place, else
// the platform's own (Win32 in the product; natively one that can tell nothing).
IMachine& ProcessMachine();
IMachine& PlatformMachine();

// Puts a machine in place of the process's for its lifetime, then restores the one before.
class ScopedProcessMachine {
public:
    explicit ScopedProcessMachine(IMachine& machine);
    ~ScopedProcessMachine();
    ScopedProcessMachine(const ScopedProcessMachine&) = delete;
    ScopedProcessMachine& operator=(const ScopedProcessMachine&) = delete;

private:
    IMachine* m_previous;
};

} // namespace zv::expr
