#pragma once
// Real registry values for the detection tests: the utility's App Paths registration and
// the product key, written in the test prefix and removed afterwards.
#include "framework/reg_key.h"
#include "launcher/utility_detection.h"
#include "support/child_process.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <memory>

namespace zv::test {

class UtilityRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clear();
        m_dir = std::make_unique<ScratchDir>(L"utility_detection");
        m_programDir = m_dir->Path() + L"\\Quor Vane";
        ASSERT_TRUE(::CreateDirectoryW(m_programDir.c_str(), nullptr));
        m_program = m_programDir + L"\\KVCHHost.exe";
        ASSERT_TRUE(::CopyFileW(SiblingProgram(L"utility_stub.exe").c_str(), m_program.c_str(), FALSE));
        ::SetEnvironmentVariableW(L"ZVTEST_UTIL_DIR", m_dir->Path().c_str());
    }
    void TearDown() override { Clear(); }

    static void Clear()
    {
        for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_32KEY}}) {
            ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, launcher::kUtilityAppPathsKey, view, 0);
            fw::CRegKey product;
            if (product.Open(HKEY_LOCAL_MACHINE, launcher::kProductKey, KEY_ALL_ACCESS | view) == ERROR_SUCCESS) {
                for (const wchar_t* name : {L"Version", L"Flavor", L"Language"}) product.DeleteValue(name);
            }
        }
    }
    static void WriteValue(const wchar_t* key, const wchar_t* name, DWORD type, const std::wstring& value,
                           REGSAM view = 0)
    {
        fw::CRegKey k;
        ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, key, KEY_READ | KEY_WRITE | view), ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(k.Get(), name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    static void Register(const std::wstring& command, DWORD type = REG_SZ, REGSAM view = 0)
    {
        WriteValue(launcher::kUtilityAppPathsKey, L"", type, command, view);
    }
    static void SetProduct(const wchar_t* name, const std::wstring& value)
    {
        WriteValue(launcher::kProductKey, name, REG_SZ, value);
    }

    std::unique_ptr<ScratchDir> m_dir;
    std::wstring m_programDir;
    std::wstring m_program;
};

} // namespace zv::test
