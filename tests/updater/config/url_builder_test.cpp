#include "updater/config/url_builder.h"

#include "updater/config/config_params.h"
#include "support/fake_machine/fake_machine.h"
#include "updater/expr/os_info.h"

#include <gtest/gtest.h>

namespace {

// Runs the builder against a machine of the test's choosing.
class UrlBuilderTest : public ::testing::Test {
protected:
    void UseOs(uint32_t major, uint32_t minor, uint8_t productType, int architecture)
    {
        machine.SetOs(major, minor, 1000, productType, architecture);
        OSInfo::Reset();
    }
    void TearDown() override { OSInfo::Reset(); }

    zv::expr::FakeMachine machine;
    zv::expr::ScopedProcessMachine useMachine{machine};
    CUrlBuilder builder;
};

ZvLib_CConfigParamsLoader ExampleConfig()
{
    ZvLib_CConfigParamsLoader c;
    c.payloadServerHost = L"Srv";
    c.productBrand = L"Quorvane";
    c.payloadBuName = L"BU";
    c.payloadProductName = L"Prod";
    c.productVersion = L"1.00";
    c.hostProductOption = L"0";
    c.payloadFilename = L"Setup";
    c.payloadFilenameExtension = L"exe";
    return c;
}

TEST_F(UrlBuilderTest, PayloadManifestAndSignaturePathsOnWindows7x64)
{
    UseOs(6, 1, 1, 9);
    ZvLib_CConfigParamsLoader c = ExampleConfig();
    std::wstring p = builder.BuildPayloadPath(c, c.productVersion, 1);
    EXPECT_EQ(p, L"srv/quorvane/bu/prod/1.00/0/_w7/64/setup.exe");
    EXPECT_EQ(builder.AppendSigSuffix(p), L"srv/quorvane/bu/prod/1.00/0/_w7/64/setup.exe.sig");
    std::wstring m = builder.BuildManifestPath(p);
    EXPECT_EQ(m, L"srv/quorvane/bu/prod/1.00/0/_w7/64/setup.man.xml");
    EXPECT_EQ(builder.AppendSigSuffix(m), L"srv/quorvane/bu/prod/1.00/0/_w7/64/setup.man.xml.sig");
    // Without the flag the configured letter case stays.
    EXPECT_EQ(builder.BuildPayloadPath(c, L"1.00", 0), L"Srv/Quorvane/BU/Prod/1.00/0/_w7/64/Setup.exe");
}

TEST_F(UrlBuilderTest, EmptyFieldsKeepTheirSeparators)
{
    UseOs(5, 1, 1, 0);
    ZvLib_CConfigParamsLoader c;
    c.payloadFilename = L"Setup";
    std::wstring p = builder.BuildPayloadPath(c, L"", 1);
    EXPECT_EQ(p, L"//////_xp/32/setup.");
    // Six empty fields, six separators; the manifest of a name without extension
    // replaces from the "." put before the empty extension.
    EXPECT_EQ(builder.BuildManifestPath(p), L"//////_xp/32/setup.man.xml");
    EXPECT_EQ(builder.BuildManifestPath(L"no-dot-at-all"), L".man.xml");
}

TEST_F(UrlBuilderTest, QueryStringOfTheLauncherOnXp32)
{
    UseOs(5, 1, 1, 0);
    ZvLib_CConfigParamsLoader c;
    c.productName = L"tandemvesk";
    c.productVersion = L"1.00";
    c.hostProductOption = L"0";
    c.language = L"enu";
    c.installedProducts[L"tandemix"] = L"0.00.00";
    builder.PrepareRequest(c);
    EXPECT_EQ(c.queryString, L"zv.uos=xp&zv.ubi=32&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu"
                             L"&zv.hbr=unk&h.tandemix=0.00.00");
}

TEST_F(UrlBuilderTest, QueryStringOrderExtraPartsAndLowerCase)
{
    struct Case {
        uint32_t major, minor;
        uint8_t type;
        int arch;
        const wchar_t* os;
        const wchar_t* bits;
    } cases[] = {
        {5, 0, 1, 0, L"2k", L"32"},   {5, 2, 1, 9, L"xp", L"64"},  {5, 2, 3, 0, L"2k3", L"32"},
        {6, 0, 1, 9, L"vi", L"64"},   {6, 0, 3, 9, L"2k8", L"64"}, {6, 1, 1, 9, L"_w7", L"64"},
        {6, 1, 3, 9, L"8r2", L"64"},  {6, 2, 1, 9, L"_w8", L"64"}, {6, 2, 3, 9, L"s12", L"64"},
        {6, 3, 1, 9, L"unk", L"64"},  {10, 0, 1, 9, L"unk", L"64"}, {6, 1, 1, 5, L"_w7", L"32"},
    };
    for (const auto& k : cases) {
        UseOs(k.major, k.minor, k.type, k.arch);
        ZvLib_CConfigParamsLoader c;
        c.extraQueryString = L"Campaign=OEM";
        c.productName = L"TandemVesk";
        c.productVersion = L"1.00";
        c.hostProductOption = L"0";
        c.language = L"ENU";
        c.productBrand = L"Tessaron";
        c.installedProducts[L"Tandemix"] = L"2.10.5";
        c.installedProducts[L"Alpha"] = L"1";
        builder.PrepareRequest(c);
        std::wstring expected = std::wstring(L"campaign=oem&zv.uos=") + k.os + L"&zv.ubi=" + k.bits +
                                L"&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu&zv.hbr=tessaron"
                                L"&h.alpha=1&h.tandemix=2.10.5";
        EXPECT_EQ(c.queryString, expected) << k.major << "." << k.minor << " type " << int(k.type);
        EXPECT_EQ(c.extraQueryString, L"campaign=oem");
    }
}

TEST_F(UrlBuilderTest, EmptyInstalledMapEndsWithAmpersandAndBuiltQueryIsKept)
{
    UseOs(6, 1, 1, 9);
    ZvLib_CConfigParamsLoader c;
    builder.BuildQueryString(c);
    EXPECT_EQ(c.queryString, L"zv.uos=_w7&zv.ubi=64&zv.ulv=2.40.40&zv.hp=&zv.hv=&zv.hpo=&zv.hl=&zv.hbr=unk&");
    // A query string already there is only lower-cased.
    c.queryString = L"Fixed=YES";
    builder.PrepareRequest(c);
    EXPECT_EQ(c.queryString, L"fixed=yes");
}

} // namespace
