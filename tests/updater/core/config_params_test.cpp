#include "updater/core/config_params.h"

#include "support/test_paths.h"

#include <gtest/gtest.h>

namespace {

TEST(ConfigParams, ValuesAtConstruction)
{
    ZvLib_CConfigParamsLoader r;
    const std::pair<const char*, int> ints[] = {
        {"sendUpdaterGuid", r.sendUpdaterGuid},
        {"sendQueryString", r.sendQueryString},
        {"sendBitnessViaFilename", r.sendBitnessViaFilename},
        {"sendLang", r.sendLang},
        {"sendOs", r.sendOs},
        {"payload2Ver", r.payload2Ver},
        {"payload2WaitMillis", r.payload2WaitMillis},
        {"permissionsCacheTimeMins", r.permissionsCacheTimeMins},
        {"allowBrowserCache", r.allowBrowserCache},
        {"allowZvCache", r.allowZvCache},
        {"stringsLoaded", r.stringsLoaded},
        {"paramsInitted", r.paramsInitted},
        {"requestGroupId", r.requestGroupId},
    };
    const int expected[] = {1, 1, 0, 0, 1, 0, 0, 60, 0, 1, 0, 0, 0};
    for (size_t i = 0; i < std::size(ints); ++i) EXPECT_EQ(ints[i].second, expected[i]) << ints[i].first;
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
    ASSERT_EQ(r.LoadConfigXml(zvtest::SourcePath(L"tests/data/config/Product.TandemVesk.xml"), L"2.00"), 1);
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
