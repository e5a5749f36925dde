// Natively there is no Windows to ask: the platform machine can tell nothing, so every
// question fails the way an unreadable value fails. Tools and tests put the in-memory
// machine in place when they need answers.
#include "updater/expr/machine.h"

namespace zv::expr {

namespace {

class NoMachine final : public IMachine {
public:
    bool GetOsVersion(OsVersion&) override { return false; }
    int NativeArchitecture() override { return -1; }
    uint32_t ProcessorCount() override { return 0; }
    bool GetMemory(uint64_t&, uint64_t&) override { return false; }
    bool GetPowerStatus(PowerStatus&) override { return false; }
    bool GetDisplayMode(DisplayMode&) override { return false; }
    uint32_t UsbHubCount() override { return 0; }
    RegQuery ReadRegValue(RegRoot, const std::wstring&, const std::wstring&, RegData&) override { return RegQuery::Failed; }
    bool RegKeyExists(RegRoot, const std::wstring&) override { return false; }
    bool RegValueExists(RegRoot, const std::wstring&, const std::wstring&) override { return false; }
    bool WriteRegString(RegRoot, const std::wstring&, const std::wstring&, const std::wstring&) override { return false; }
    FileKind GetFileKind(const std::wstring&) override { return FileKind::Missing; }
    bool GetFileVersion(const std::wstring&, uint16_t[4]) override { return false; }
    bool GetAvailableDiskBytes(const std::wstring&, uint64_t&) override { return false; }
    bool GetSystemFolder(std::wstring&) override { return false; }
    bool OpenInstalledProduct(const std::wstring&, std::wstring&) override { return false; }
    bool ReadPackageProduct(const std::wstring&, std::wstring&, std::wstring&) override { return false; }
    uint64_t FindTopLevelWindow(const std::wstring*, const std::wstring*) override { return 0; }
    void PostWindowMessage(uint64_t, uint32_t, uint64_t, int64_t) override {}
    void SendWindowMessage(uint64_t, uint32_t, uint64_t, int64_t) override {}
    uint32_t RegisterWindowMessageName(const std::wstring&) override { return 0; }
    void ShowAlert(const std::wstring&) override {}
    bool GetEnvironment(const std::wstring&, std::wstring&) override { return false; }
    bool GetSpecialFolder(int, std::wstring&, std::wstring& errorStep, long& errorCode) override
    {
        errorStep = L"SHGetSpecialFolderLocation";
        errorCode = -1;
        return false;
    }
    std::wstring ProgramDirectory() override { return {}; }
    bool GetUiLanguage(std::wstring&, uint16_t&) override { return false; }
};

} // namespace

IMachine& PlatformMachine()
{
    static NoMachine machine;
    return machine;
}

} // namespace zv::expr
