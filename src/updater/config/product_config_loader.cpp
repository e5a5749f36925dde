// Reading the product configuration file into a request group's configuration record.
#include "updater/config/config_params.h"

#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

namespace {

struct TextKey {
    const wchar_t* key;
    std::wstring ZvLib_CConfigParamsLoader::*field;
};

// Kept as it was when the file does not name it.
struct IntKey {
    const wchar_t* key;
    int ZvLib_CConfigParamsLoader::*field;
};

// Set to whenAbsent when the file does not name it.
struct FlagKey {
    const wchar_t* key;
    int ZvLib_CConfigParamsLoader::*field;
    int whenAbsent;
};

constexpr const wchar_t* kStringSet = L"StringSet";

} // namespace

int ZvLib_CConfigParamsLoader::LookupString(const wchar_t* key, std::wstring* output, const wchar_t* setName)
{
    if (!key || !output || !setName) return 0;
    output->clear();
    CXmlDocument& doc = stringSetDocument;
    std::wstring name;
    std::wstring value;
    doc.ResetPosition();
    while (doc.FindChildElement(setName)) {
        doc.EnterElement();
        while (doc.FindChildElement(L"String")) {
            doc.EnterElement();
            // The first attribute is the key, whatever it is called; an element
            // without attributes never matches.
            if (doc.GetAttributeName(0, name)) {
                doc.GetAttribute(name.c_str(), value);
                if (value == key) {
                    doc.GetText(*output);
                    return 1;
                }
            }
            doc.LeaveElement();
        }
        doc.LeaveElement();
    }
    return 0;
}

int ZvLib_CConfigParamsLoader::LoadConfigXml(const std::wstring& xmlPath, const std::wstring& schema)
{
    zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ----> LoadConfigXml: Specified schema: '%s'\n", schema.c_str());
    zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ----- XML Path: '%s' \n", xmlPath.c_str());

    // Loaded aside, so that a failed load leaves the record as it was.
    CXmlDocument document;
    if (!document.LoadFile(xmlPath)) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"----- [ERROR] Unable to load Quor*UpdateProduct.xml file '%s'", xmlPath.c_str());
        return 0;
    }
    stringSetDocument = std::move(document);

    static const TextKey texts[] = {
        {L"IDS_PRODUCT_NAME_KEY", &ZvLib_CConfigParamsLoader::productNameKey},
        {L"IDS_PRODUCT_BRAND", &ZvLib_CConfigParamsLoader::productBrand},
        {L"IDS_PAYLOAD_FILENAME", &ZvLib_CConfigParamsLoader::payloadFilename},
        {L"IDS_PAYLOAD_FILENAME_EXTENSION", &ZvLib_CConfigParamsLoader::payloadFilenameExtension},
        {L"IDS_PAYLOAD_PRODUCT_NAME", &ZvLib_CConfigParamsLoader::payloadProductName},
        {L"IDS_PAYLOAD_BU_NAME", &ZvLib_CConfigParamsLoader::payloadBuName},
        {L"IDS_PRODUCT_ABBR", &ZvLib_CConfigParamsLoader::productAbbr},
        {L"IDS_PAYLOAD_SERVER_HOST", &ZvLib_CConfigParamsLoader::payloadServerHost},
        {L"IDS_PAYLOAD2_SERVER", &ZvLib_CConfigParamsLoader::payload2Server},
    };
    static const FlagKey flags[] = {
        {L"IDS_QS_SEND_QUERYSTRING", &ZvLib_CConfigParamsLoader::sendQueryString, 0},
        {L"IDS_QS_SEND_UPDATER_GUID", &ZvLib_CConfigParamsLoader::sendUpdaterGuid, 0},
        {L"IDS_PAYLOAD_SEND_LANG", &ZvLib_CConfigParamsLoader::sendLang, 1},
        {L"IDS_PAYLOAD_SEND_OS", &ZvLib_CConfigParamsLoader::sendOs, 1},
        {L"IDS_PAYLOAD_SEND_BITNESS_VIA_FILENAME", &ZvLib_CConfigParamsLoader::sendBitnessViaFilename, 0},
    };
    static const IntKey integers[] = {
        {L"IDS_PAYLOAD2_WAIT_MILLIS", &ZvLib_CConfigParamsLoader::payload2WaitMillis},
        {L"IDS_PAYLOAD2_VER", &ZvLib_CConfigParamsLoader::payload2Ver},
        {L"IDS_PERMISSIONS_CACHE_TIME_MINS", &ZvLib_CConfigParamsLoader::permissionsCacheTimeMins},
    };

    std::wstring value;
    for (const auto& t : texts)
        if (LookupString(t.key, &value, kStringSet)) this->*t.field = value;
    for (const auto& f : flags) {
        this->*f.field = f.whenAbsent;
        if (LookupString(f.key, &value, kStringSet)) this->*f.field = zv::ReadDecimal(value);
    }
    LookupString(L"IDS_PAYLOAD2_ARGS", &payload2Args, kStringSet);
    for (const auto& i : integers)
        if (LookupString(i.key, &value, kStringSet)) this->*i.field = zv::ReadDecimal(value);
    LookupString(L"IDS_PAYLOAD_ARGS", &payloadArgs, kStringSet);
    // In 64 bits: a large number of days must not wrap round to a negative interval.
    if (LookupString(L"IDS_AUTO_CHECK_MIN_INTERVAL_DAYS", &value, kStringSet))
        autoCheckMinIntervalSecs = static_cast<double>(static_cast<long long>(zv::ReadDecimal(value)) * 24 * 60 * 60);

    stringsLoaded = 1;
    paramsInitted = 1;
    return 1;
}
