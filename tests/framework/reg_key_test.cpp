#include "framework/reg_key.h"

#include <gtest/gtest.h>

namespace {

TEST(CRegKey, WritesReadsAndRemovesItsOwnKey)
{
    const std::wstring sub = L"Software\\zvtest\\regkey-" + std::to_wstring(::GetCurrentProcessId());
    {
        zv::fw::CRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, sub), ERROR_SUCCESS);
        EXPECT_EQ(key.SetString(L"Version", L"2.10.5"), ERROR_SUCCESS);
        EXPECT_EQ(key.SetDword(L"Count", 7), ERROR_SUCCESS);
    }
    zv::fw::CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, sub), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryString(L"Version"), std::optional<std::wstring>(L"2.10.5"));
    EXPECT_EQ(key.QueryDword(L"Count"), std::optional<DWORD>(7));
    EXPECT_EQ(key.QueryString(L"Count"), std::nullopt); // wrong type
    EXPECT_EQ(key.QueryDword(L"Version"), std::nullopt);
    EXPECT_EQ(key.QueryString(L"Absent"), std::nullopt);
    key.Close();
    EXPECT_EQ(zv::fw::CRegKey::DeleteTree(HKEY_CURRENT_USER, sub), ERROR_SUCCESS);
    EXPECT_NE(key.Open(HKEY_CURRENT_USER, sub), ERROR_SUCCESS);
    EXPECT_FALSE(key.IsOpen());
}

} // namespace
