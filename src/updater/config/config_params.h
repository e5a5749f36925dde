#pragma once
// The configuration record of one request group: which product the updater serves,
// where its payloads lie, how the update request is formed and what the host reports
// about itself. Copied member by member (the loaded document included): a check works
// on a snapshot and every downloader holds a copy of its own.
#include "updater/config/xml_document.h"

#include <map>
#include <string>

class ZvLib_CConfigParamsLoader {
public:
    ZvLib_CConfigParamsLoader() = default;
    virtual ~ZvLib_CConfigParamsLoader() = default;
    ZvLib_CConfigParamsLoader(const ZvLib_CConfigParamsLoader&) = default;
    ZvLib_CConfigParamsLoader& operator=(const ZvLib_CConfigParamsLoader&) = default;
    ZvLib_CConfigParamsLoader(ZvLib_CConfigParamsLoader&&) = default;
    ZvLib_CConfigParamsLoader& operator=(ZvLib_CConfigParamsLoader&&) = default;

    // Reads the product configuration file into the record; 1 when it loaded. The
    // schema is only logged.
    int LoadConfigXml(const std::wstring& xmlPath, const std::wstring& schema);
    // The value of the first "String" element of a set named setName whose first
    // attribute's value is key. 1 when found; 0 when not found or an argument is null.
    int LookupString(const wchar_t* key, std::wstring* output, const wchar_t* setName);

    // A group can be checked only when the host has said who it is.
    bool IsComplete() const { return !productName.empty() && !productVersion.empty() && !language.empty(); }

    int sendUpdaterGuid = 1;
    int sendQueryString = 1;
    int sendBitnessViaFilename = 0;
    int sendLang = 0;
    int sendOs = 1;
    std::wstring payload2Args;
    std::wstring payloadArgs;
    std::wstring payloadBuName;
    std::wstring payloadFilenameExtension;
    std::wstring payloadFilename;
    std::wstring payloadProductName;
    std::wstring productBrand;
    std::wstring productNameKey;
    std::wstring productAbbr;
    std::wstring payloadServerHost;
    std::wstring payload2Server;
    // Read by nothing; 0 until a configuration file names it.
    int payload2Ver = 0;
    int payload2WaitMillis = 0;
    int permissionsCacheTimeMins = 60;
    double autoCheckMinIntervalSecs = 2592000.0; // 30 days
    // Never answer a request from the system's Internet cache: a stale manifest would
    // hide an update.
    int allowBrowserCache = 0;
    // Reuse a complete or partial earlier download: payloads are authenticated after
    // every download, and resuming saves the user's bandwidth.
    int allowZvCache = 1;
    std::wstring hostProductOption;
    std::map<std::wstring, std::wstring> installedProducts;
    std::wstring productName;
    std::wstring productVersion;
    std::wstring language;
    std::wstring extraQueryString;
    std::wstring queryString;
    CXmlDocument stringSetDocument;
    int stringsLoaded = 0;
    int paramsInitted = 0;
    int requestGroupId = 0;
};
