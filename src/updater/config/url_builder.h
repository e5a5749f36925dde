#pragma once
// Builds the update request from a request group's configuration: the payload path on
// the server, the manifest and signature paths derived from it, and the query string
// every request carries. Values are used as they stand (no escaping); the OS parts
// come from the process-wide OS classification.
#include <string>

class ZvLib_CConfigParamsLoader;

class CUrlBuilder {
public:
    // "2.40.40": the library version the query reports.
    static constexpr int kLibraryVersion[3] = {2, 40, 40};

    virtual ~CUrlBuilder() = default;

    // host/brand/bu/product/version/option/os/bitness/file.ext, lower-cased when asked.
    std::wstring BuildPayloadPath(const ZvLib_CConfigParamsLoader& config, const std::wstring& version, int lowerCase) const;
    std::wstring AppendSigSuffix(const std::wstring& path) const;
    // The path up to its last "." (empty when it has none) followed by ".man.xml".
    std::wstring BuildManifestPath(const std::wstring& path) const;
    // Fills config.queryString.
    void BuildQueryString(ZvLib_CConfigParamsLoader& config) const;
    // Builds the query string when it is empty, then lower-cases it and the extra query string.
    void PrepareRequest(ZvLib_CConfigParamsLoader& config) const;
};
