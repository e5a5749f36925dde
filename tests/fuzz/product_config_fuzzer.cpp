// Feeds arbitrary bytes to the product configuration loader as its file.
#include "updater/config/config_params.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

const std::string& ScratchFile()
{
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/zv_product_config_fuzz." + std::to_string(getpid()) + ".xml";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = ScratchFile();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    ZvLib_CConfigParamsLoader record;
    int loaded = record.LoadConfigXml(std::wstring(path.begin(), path.end()), L"2.00");
    if (loaded != record.paramsInitted) std::abort();
    std::wstring value;
    for (const wchar_t* key : {L"IDS_PRODUCT_BRAND", L"", L"IDS_PAYLOAD_ARGS"}) record.LookupString(key, &value, L"StringSet");
    ZvLib_CConfigParamsLoader copy = record;
    if (copy.paramsInitted != record.paramsInitted || copy.productBrand != record.productBrand) std::abort();
    std::remove(path.c_str());
    return 0;
}
