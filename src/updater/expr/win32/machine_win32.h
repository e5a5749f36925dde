#pragma once
// The Win32 implementation of IMachine (Windows build only): what the product's
// expressions see of the real machine.
#include "updater/expr/machine.h"

namespace zv::expr {

class Win32Machine : public IMachine {
public:
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
};

} // namespace zv::expr
