#include "updater/config/config_params.h"

#include "support/test_paths.h"

#include <gtest/gtest.h>

namespace {

TEST(ConfigParams, ValuesAtConstruction)
{
    ZvLib_CConfigParamsLoader r;
    const struct {
        const char* name;
        int value;
        int expected;
    } ints[] = {
        {"sendUpdaterGuid", r.sendUpdaterGuid, 1},
        {"sendQueryString", r.sendQueryString, 1},
        {"sendBitnessViaFilename", r.sendBitnessViaFilename, 0},
        {"sendLang", r.sendLang, 0},
        {"sendOs", r.sendOs, 1},
        {"payload2Ver", r.payload2Ver, 0},
        {"payload2WaitMillis", r.payload2WaitMillis, 0},
        {"permissionsCacheTimeMins", r.permissionsCacheTimeMins, 60},
        {"allowBrowserCache", r.allowBrowserCache, 0},
        {"allowZvCache", r.allowZvCache, 1},
        {"stringsLoaded", r.stringsLoaded, 0},
        {"paramsInitted", r.paramsInitted, 0},
        {"requestGroupId", r.requestGroupId, 0},
    };
    for (const auto& i : ints) EXPECT_EQ(i.value, i.expected) << i.name;
    EXPECT_EQ(r.autoCheckMinIntervalSecs, 2592000.0);
    const std::wstring* texts[] = {&r.payload2Args,       &r.payloadArgs,       &r.payloadBuName,
                                   &r.payloadFilenameExtension, &r.payloadFilename, &r.payloadProductName,
                                   &r.productBrand,       &r.productNameKey,    &r.productAbbr,
                                   &r.payloadServerHost,  &r.payload2Server,    &r.hostProductOption,
                                   &r.productName,        &r.productVersion,    &r.language,
                                   &r.extraQueryString,   &r.queryString};
    for (const auto* t : texts) EXPECT_TRUE(t->empty());
    EXPECT_TRUE(r.installedProducts.empty());
    EXPECT_TRUE(r.stringSetDocument.GetDocumentText().empty());
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
