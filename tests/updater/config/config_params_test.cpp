#include "updater/config/config_params.h"

#include "support/fake_machine/fake_machine.h"
#include "support/test_paths.h"
#include "updater/config/url_builder.h"
#include "updater/expr/os_info.h"

#include <gtest/gtest.h>

namespace {

TEST(ConfigParams, DefaultRecordIsRefusedUntilLoaded)
{
    ZvLib_CConfigParamsLoader r;
    EXPECT_FALSE(r.IsComplete());
    EXPECT_EQ(r.paramsInitted, 0);
    std::wstring value = L"x";
    EXPECT_EQ(r.LookupString(L"IDS_PRODUCT_ABBR", &value, L"StringSet"), 0);
    EXPECT_EQ(value, L"");
    // What the host sets makes it complete, but only the product file makes it usable.
    r.productName = L"KVCH";
    r.productVersion = L"2.1";
    r.language = L"eng";
    EXPECT_TRUE(r.IsComplete());
    EXPECT_EQ(r.paramsInitted, 0);
    ASSERT_EQ(r.LoadConfigXml(zv::test::SourcePath(L"tests/data/config/Product.TandemVesk.xml"), L"2.00"), 1);
    EXPECT_EQ(r.paramsInitted, 1);
    EXPECT_EQ(r.LookupString(L"IDS_PRODUCT_ABBR", &value, L"StringSet"), 1);
    EXPECT_EQ(value, L"KVCH");
}

TEST(ConfigParams, DefaultRecordPutsNothingOfItsOwnIntoTheRequest)
{
    zv::expr::FakeMachine machine; // Windows 7 SP1, 64-bit
    zv::expr::ScopedProcessMachine useMachine{machine};
    OSInfo::Reset();
    ZvLib_CConfigParamsLoader r;
    ZvLib_CConfigParamsLoader copy = r;
    CUrlBuilder builder;
    builder.PrepareRequest(r);
    // No host values, no installed products, no extra query, the brand unknown.
    EXPECT_EQ(r.queryString, L"zv.uos=_w7&zv.ubi=64&zv.ulv=2.40.40&zv.hp=&zv.hv=&zv.hpo=&zv.hl=&zv.hbr=unk&");
    EXPECT_EQ(r.extraQueryString, L"");
    // Every path segment the product file would give is empty.
    EXPECT_EQ(builder.BuildPayloadPath(r, L"", 1), L"//////_w7/64/.");
    builder.PrepareRequest(copy);
    EXPECT_EQ(copy.queryString, r.queryString);
    OSInfo::Reset();
}

TEST(ConfigParams, CompleteWhenNameVersionAndLanguageAreSet)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* version;
        const wchar_t* language;
        bool complete;
    } cases[] = {
        {L"KVCH", L"1.0", L"eng", true}, {L"", L"1.0", L"eng", false}, {L"KVCH", L"", L"eng", false},
        {L"KVCH", L"1.0", L"", false},   {L"", L"", L"", false},
    };
    for (const auto& c : cases) {
        ZvLib_CConfigParamsLoader r;
        r.productName = c.name;
        r.productVersion = c.version;
        r.language = c.language;
        EXPECT_EQ(r.IsComplete(), c.complete) << c.name << "/" << c.version << "/" << c.language;
    }
}

TEST(ConfigParams, CopyOfALoadedRecordIsLoaded)
{
    ZvLib_CConfigParamsLoader r;
    ASSERT_EQ(r.LoadConfigXml(zv::test::SourcePath(L"tests/data/config/Product.TandemVesk.xml"), L"2.00"), 1);
    r.productName = L"KVCH";
    r.productVersion = L"2.1";
    r.language = L"deu";
    r.installedProducts[L"kvch"] = L"2.1.0";
    r.installedProducts[L"drv"] = L"7";
    r.requestGroupId = 4;

    ZvLib_CConfigParamsLoader copy(r);
    ZvLib_CConfigParamsLoader assigned;
    assigned = r;
    for (auto* c : {&copy, &assigned}) {
        EXPECT_EQ(c->paramsInitted, 1);
        EXPECT_EQ(c->stringsLoaded, 1);
        EXPECT_TRUE(c->IsComplete());
        EXPECT_EQ(c->productAbbr, L"KVCH");
        EXPECT_EQ(c->installedProducts, r.installedProducts);
        EXPECT_EQ(c->requestGroupId, 4);
        std::wstring value;
        EXPECT_EQ(c->LookupString(L"IDS_PRODUCT_BRAND", &value, L"StringSet"), 1);
        EXPECT_EQ(value, L"Vesk");
    }
    // The copy's document is its own.
    r.stringSetDocument.SetText(L"<gone/>");
    std::wstring value;
    EXPECT_EQ(copy.LookupString(L"IDS_PRODUCT_ABBR", &value, L"StringSet"), 1);
    EXPECT_EQ(value, L"KVCH");
}

TEST(ConfigParams, NeverLoadedRecordIsNotInitted)
{
    ZvLib_CConfigParamsLoader r;
    ZvLib_CConfigParamsLoader copy = r;
    EXPECT_EQ(copy.paramsInitted, 0);
    std::wstring value = L"x";
    EXPECT_EQ(copy.LookupString(L"IDS_PRODUCT_BRAND", &value, L"StringSet"), 0);
    EXPECT_EQ(value, L"");
}

} // namespace
