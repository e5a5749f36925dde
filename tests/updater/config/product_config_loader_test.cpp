#include "updater/config/config_params.h"

#include "support/log_capture.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

class ProductConfig : public ::testing::Test {
protected:
    zv::test::LogLines log{6};

    // A configuration file of one set holding the given String elements.
    std::wstring Write(const std::string& strings)
    {
        std::wstring path = dir.File(L"Product" + std::to_wstring(++count) + L".xml");
        zv::test::WriteFileBytes(path, "<Product><StringSet>" + strings + "</StringSet></Product>");
        return path;
    }
    // A configuration file holding one String element.
    std::wstring WriteOne(const char* key, const char* value)
    {
        return Write(std::string("<String id='") + key + "'>" + value + "</String>");
    }

    zv::test::ScratchDir dir{L"product_config"};
    int count = 0;
};

TEST_F(ProductConfig, ReadsEveryKeyOfTheShippedFile)
{
    ZvLib_CConfigParamsLoader r;
    std::wstring path = zv::test::SourcePath(L"tests/data/config/Product.TandemVesk.xml");
    ASSERT_EQ(r.LoadConfigXml(path, L"2.00"), 1);
    EXPECT_EQ(r.productNameKey, L"TandemixConnect");
    EXPECT_EQ(r.productBrand, L"Vesk");
    EXPECT_EQ(r.payloadFilename, L"kvch_setup");
    EXPECT_EQ(r.payloadFilenameExtension, L".exe");
    EXPECT_EQ(r.payloadProductName, L"tandemix");
    EXPECT_EQ(r.payloadBuName, L"peripherals");
    EXPECT_EQ(r.productAbbr, L"KVCH");
    EXPECT_EQ(r.payloadServerHost, L"updates.example.invalid");
    EXPECT_EQ(r.payload2Server, L"mirror.example.invalid");
    EXPECT_EQ(r.sendQueryString, 1);
    EXPECT_EQ(r.sendUpdaterGuid, 1);
    EXPECT_EQ(r.sendLang, 0);
    EXPECT_EQ(r.sendOs, 0);
    EXPECT_EQ(r.sendBitnessViaFilename, 1);
    EXPECT_EQ(r.payload2Args, L"/quiet & /norestart");
    EXPECT_EQ(r.payload2WaitMillis, 1500);
    EXPECT_EQ(r.payload2Ver, 3);
    EXPECT_EQ(r.permissionsCacheTimeMins, 15);
    EXPECT_EQ(r.payloadArgs, L"/S /D=\"<dir>\"");
    EXPECT_EQ(r.autoCheckMinIntervalSecs, 604800.0);
    EXPECT_EQ(r.stringsLoaded, 1);
    EXPECT_EQ(r.paramsInitted, 1);
    ASSERT_GE(log.All().size(), 2u);
    EXPECT_EQ(log.All()[0], L"[Info2] ZV: ZvLib: ----> LoadConfigXml: Specified schema: '2.00'\n");
    EXPECT_EQ(log.All()[1], L"[Info2] ZV: ZvLib: ----- XML Path: '" + path + L"' \n");
}

TEST_F(ProductConfig, AbsentKeysGiveTheLoadersDefaults)
{
    ZvLib_CConfigParamsLoader r;
    r.sendQueryString = r.sendUpdaterGuid = r.sendBitnessViaFilename = 7;
    r.sendLang = r.sendOs = 7;
    r.productBrand = L"host brand";
    r.payload2Args = r.payloadArgs = L"old";
    r.payload2WaitMillis = 11;
    r.payload2Ver = 12;
    r.permissionsCacheTimeMins = 13;
    ASSERT_EQ(r.LoadConfigXml(Write("<String id='OTHER'>x</String>"), L"2.00"), 1);
    EXPECT_EQ(r.sendQueryString, 0);
    EXPECT_EQ(r.sendUpdaterGuid, 0);
    EXPECT_EQ(r.sendLang, 1);
    EXPECT_EQ(r.sendOs, 1);
    EXPECT_EQ(r.sendBitnessViaFilename, 0);
    EXPECT_EQ(r.productBrand, L"host brand");
    EXPECT_EQ(r.payload2Args, L"");
    EXPECT_EQ(r.payloadArgs, L"");
    EXPECT_EQ(r.payload2WaitMillis, 11);
    EXPECT_EQ(r.payload2Ver, 12);
    EXPECT_EQ(r.permissionsCacheTimeMins, 13);
    EXPECT_EQ(r.autoCheckMinIntervalSecs, 2592000.0);
    EXPECT_EQ(r.paramsInitted, 1);
}

TEST_F(ProductConfig, IntegersAreReadAsSignedLongs)
{
    const std::pair<const char*, int> cases[] = {
        {" 17 ", 17},    {"-5", -5}, {"+3", 3},         {"12abc", 12},
        {"abc", 0},      {"", 0},    {"0x10", 0},       {"\t\n 8", 8},
        {"99999999999", INT_MAX},    {"-99999999999", INT_MIN},
    };
    for (const auto& c : cases) {
        ZvLib_CConfigParamsLoader r;
        ASSERT_EQ(r.LoadConfigXml(WriteOne("IDS_PERMISSIONS_CACHE_TIME_MINS", c.first), L"2.00"), 1);
        EXPECT_EQ(r.permissionsCacheTimeMins, c.second) << c.first;
    }
}

TEST_F(ProductConfig, IntervalInDaysIsStoredAsSeconds)
{
    const std::pair<const char*, double> cases[] = {
        {"7", 604800.0},
        {"0", 0.0},
        {"-1", -86400.0},
        // Beyond what 32-bit arithmetic holds: no wrap round.
        {"100000", 8640000000.0},
        {"99999999999", 2147483647.0 * 86400.0},
    };
    for (const auto& c : cases) {
        ZvLib_CConfigParamsLoader r;
        ASSERT_EQ(r.LoadConfigXml(WriteOne("IDS_AUTO_CHECK_MIN_INTERVAL_DAYS", c.first), L"2.00"), 1);
        EXPECT_EQ(r.autoCheckMinIntervalSecs, c.second) << c.first;
    }
}

TEST_F(ProductConfig, FailedLoadChangesNothing)
{
    const std::string broken[] = {"<Product><StringSet>", "<a/><b/>", "", "\x01\x02garbage"};
    std::vector<std::wstring> paths;
    for (const auto& b : broken) {
        paths.push_back(dir.File(L"broken" + std::to_wstring(paths.size()) + L".xml"));
        zv::test::WriteFileBytes(paths.back(), b);
    }
    paths.push_back(dir.File(L"missing.xml"));
    for (const auto& path : paths) {
        log.Clear();
        ZvLib_CConfigParamsLoader r;
        r.sendQueryString = 5;
        EXPECT_EQ(r.LoadConfigXml(path, L"2.00"), 0) << path;
        EXPECT_EQ(r.sendQueryString, 5);
        EXPECT_EQ(r.paramsInitted, 0);
        EXPECT_EQ(r.stringsLoaded, 0);
        EXPECT_EQ(r.autoCheckMinIntervalSecs, 2592000.0);
        ASSERT_EQ(log.All().size(), 3u);
        EXPECT_EQ(log.All()[2], L"[Error] ZV: ----- [ERROR] Unable to load Quor*UpdateProduct.xml file '" + path + L"'");
    }
}

TEST_F(ProductConfig, FailedReloadKeepsWhatWasLoaded)
{
    ZvLib_CConfigParamsLoader r;
    ASSERT_EQ(r.LoadConfigXml(WriteOne("IDS_PRODUCT_ABBR", "KVCH"), L"2.00"), 1);
    std::wstring broken = dir.File(L"reload_broken.xml");
    zv::test::WriteFileBytes(broken, "<Product><StringSet>");
    for (const auto& path : {broken, dir.File(L"reload_missing.xml")}) {
        EXPECT_EQ(r.LoadConfigXml(path, L"2.00"), 0) << path;
        EXPECT_EQ(r.productAbbr, L"KVCH");
        EXPECT_EQ(r.paramsInitted, 1);
        std::wstring value;
        EXPECT_EQ(r.LookupString(L"IDS_PRODUCT_ABBR", &value, L"StringSet"), 1) << path;
        EXPECT_EQ(value, L"KVCH");
    }
}

TEST_F(ProductConfig, LookupRules)
{
    ZvLib_CConfigParamsLoader r;
    std::wstring path = dir.File(L"lookup.xml");
    zv::test::WriteFileBytes(path, "<P>"
                                 "<Other><String id='K'>other set</String></Other>"
                                 "<StringSet><String>no attribute</String><String id='A'>first</String>"
                                 "<Item id='I'>not a String</Item><String name='B' id='X'>by first attribute</String>"
                                 "</StringSet>"
                                 "<StringSet><String id='A'>second</String><String id='C'></String>"
                                 "<String key='D'>x<!--c--> y <![CDATA[&]]></String></StringSet>"
                                 "</P>");
    ASSERT_EQ(r.LoadConfigXml(path, L"2.00"), 1);
    struct Case {
        const wchar_t* key;
        const wchar_t* set;
        int found;
        const wchar_t* value;
    } cases[] = {
        {L"A", L"StringSet", 1, L"first"},
        {L"B", L"StringSet", 1, L"by first attribute"},
        {L"X", L"StringSet", 0, L""},
        {L"a", L"StringSet", 0, L""},
        {L"I", L"StringSet", 0, L""},
        {L"K", L"StringSet", 0, L""},
        {L"K", L"Other", 1, L"other set"},
        {L"C", L"StringSet", 1, L""},
        {L"D", L"StringSet", 1, L"x y &"},
        {L"", L"StringSet", 0, L""},
    };
    for (const auto& c : cases) {
        std::wstring out = L"stale";
        EXPECT_EQ(r.LookupString(c.key, &out, c.set), c.found) << c.key;
        EXPECT_EQ(out, c.value) << c.key;
    }
    std::wstring out = L"stale";
    EXPECT_EQ(r.LookupString(nullptr, &out, L"StringSet"), 0);
    EXPECT_EQ(r.LookupString(L"A", nullptr, L"StringSet"), 0);
    EXPECT_EQ(r.LookupString(L"A", &out, nullptr), 0);
}

TEST_F(ProductConfig, EmptyValueGivesEmptyTextAndZero)
{
    ZvLib_CConfigParamsLoader r;
    ASSERT_EQ(r.LoadConfigXml(Write("<String id='IDS_PRODUCT_ABBR'/><String id='IDS_PAYLOAD_SEND_OS'></String>"), L"2.00"),
              1);
    EXPECT_EQ(r.productAbbr, L"");
    EXPECT_EQ(r.sendOs, 0);
}

} // namespace
