#pragma once
// FakeMachine: an in-memory IMachine for the native build, the tests and the fuzz
// target. It starts as a 64-bit Windows 7 SP1 workstation and can be changed field by
// field or from a machine profile.
//
// Machine profile: UTF-8 text, one setting per line, blank lines and lines starting
// with "#" ignored. "KEY = VALUE" lines, where some keys take an argument before "=":
//
//   os.version = 6.1.7601            major.minor.build
//   os.platform = 2                  platform id (2 NT family, 1 Windows 9x)
//   os.service_pack = 1.0
//   os.product_type = 1              1 workstation, 2 domain controller, 3 server
//   os.readable = 0                  the version cannot be read
//   cpu.architecture = 9             9 AMD64, 0 x86
//   cpu.count = 4
//   memory.total_mib = 8192          memory.available_mib, memory.readable likewise
//   power.ac_line = 1                power.battery_percent, power.readable likewise
//   display = 1920x1080x32           width x height x bits per pixel
//   usb.hubs = 2
//   system_dir = C:\windows\system32
//   program_dir = C:\Program Files\Quorvane
//   language = ENU 0x0409            abbreviation and language id
//   env NAME = value
//   folder 36 = C:\windows           a shell folder by CSIDL number
//   reg ROOT\KEY | NAME = TYPE:DATA  TYPE: sz, expand_sz, dword, qword (decimal or 0x),
//                                    multi_sz (items split at "|"), binary (hex), none
//   regkey ROOT\KEY                  a key without values
//   regdenied ROOT\KEY               reading values of this key fails (access denied)
//   file PATH = 1.2.3.4              a file with that version ("-": no version information)
//   dir PATH
//   disk PATH = MIB                  free space of the volume whose path is a prefix
//   msi.product {CODE} = VERSION     an installed Windows Installer product
//   msi.package PATH = {CODE} VERSION
//   window HANDLE = CLASS | TITLE    a top-level window
//
// Registry keys, files, environment names and product codes compare case-insensitively.
#include "updater/expr/machine.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace zv::expr {

class FakeMachine : public IMachine {
public:
    FakeMachine();

    // Applies a profile on top of the current state; false with "line N: ..." on error.
    bool LoadProfile(const std::wstring& text, std::wstring& error);
    bool LoadProfileFile(const std::wstring& path, std::wstring& error);

    // Direct set-up for tests.
    void SetOs(uint32_t major, uint32_t minor, uint32_t build, uint8_t productType, int architecture);
    void SetRegValue(RegRoot root, const std::wstring& subkey, const std::wstring& name, const RegData& data);
    void AddRegKey(RegRoot root, const std::wstring& subkey);
    void AddFile(const std::wstring& path, bool hasVersion = false, const uint16_t version[4] = nullptr);
    void AddDirectory(const std::wstring& path);
    void SetEnvironment(const std::wstring& name, const std::wstring& value);
    void AddWindow(uint64_t handle, const std::wstring& className, const std::wstring& title);

    struct Message {
        uint64_t window;
        uint32_t message;
        uint64_t wParam;
        int64_t lParam;
        bool sent;
    };

    // State, open for tests to read and change.
    bool osReadable = true;
    OsVersion os;
    int architecture = 9;
    uint32_t processors = 4;
    bool memoryReadable = true;
    uint64_t memoryTotal = 8192ull << 20;
    uint64_t memoryAvailable = 4096ull << 20;
    bool powerReadable = true;
    PowerStatus power;
    bool displayReadable = true;
    DisplayMode display;
    uint32_t usbHubs = 0;
    std::wstring systemDir;
    std::wstring programDir;
    std::wstring languageAbbreviation = L"ENU";
    uint16_t languageId = 0x0409;
    std::map<int, std::wstring> folders;
    std::vector<Message> messages;
    std::vector<std::wstring> alerts;

    // IMachine
    bool GetOsVersion(OsVersion& out) override;
    int NativeArchitecture() override;
    uint32_t ProcessorCount() override;
    bool GetMemory(uint64_t& totalBytes, uint64_t& availableBytes) override;
    bool GetPowerStatus(PowerStatus& out) override;
    bool GetDisplayMode(DisplayMode& out) override;
    uint32_t UsbHubCount() override;
    RegQuery ReadRegValue(RegRoot root, const std::wstring& subkey, const std::wstring& name, RegData& out) override;
    bool RegKeyExists(RegRoot root, const std::wstring& subkey) override;
    bool RegValueExists(RegRoot root, const std::wstring& subkey, const std::wstring& name) override;
    bool WriteRegString(RegRoot root, const std::wstring& subkey, const std::wstring& name, const std::wstring& text) override;
    FileKind GetFileKind(const std::wstring& path) override;
    bool GetFileVersion(const std::wstring& path, uint16_t parts[4]) override;
    bool GetAvailableDiskBytes(const std::wstring& path, uint64_t& bytes) override;
    bool GetSystemFolder(std::wstring& out) override;
    bool OpenInstalledProduct(const std::wstring& productCode, std::wstring& productVersion) override;
    bool ReadPackageProduct(const std::wstring& packagePath, std::wstring& productCode, std::wstring& productVersion) override;
    uint64_t FindTopLevelWindow(const std::wstring* className, const std::wstring* title) override;
    void PostWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam) override;
    void SendWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam) override;
    uint32_t RegisterWindowMessageName(const std::wstring& name) override;
    void ShowAlert(const std::wstring& text) override;
    bool GetEnvironment(const std::wstring& name, std::wstring& value) override;
    bool GetSpecialFolder(int csidl, std::wstring& path, std::wstring& errorStep, long& errorCode) override;
    std::wstring ProgramDirectory() override;
    bool GetUiLanguage(std::wstring& abbreviation, uint16_t& languageId) override;

private:
    struct Key {
        std::map<std::wstring, RegData> values; // by lower-case name
    };
    struct File {
        bool directory = false;
        bool hasVersion = false;
        uint16_t version[4] = {0, 0, 0, 0};
    };
    struct Window {
        uint64_t handle;
        std::wstring className, title;
    };
    struct Package {
        std::wstring code, version;
    };

    static std::wstring KeyName(RegRoot root, const std::wstring& subkey);
    bool ApplyLine(const std::wstring& line, std::wstring& error);

    std::map<std::wstring, Key> m_keys;
    std::set<std::wstring> m_deniedKeys;
    std::map<std::wstring, File> m_files;
    std::map<std::wstring, uint64_t> m_disks;
    std::map<std::wstring, std::wstring> m_products;
    std::map<std::wstring, Package> m_packages;
    std::vector<Window> m_windows;
    std::map<std::wstring, std::wstring> m_environment; // by upper-case name
    std::map<std::wstring, uint32_t> m_registeredMessages;
};

} // namespace zv::expr
