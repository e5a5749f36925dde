#pragma once
// What a download pass hands to each transfer: its own copy of the configuration
// record, whose cache directives the resumable download reads.
#include "updater/config/config_params.h"

class ZvLib_CDownloader {
public:
    ZvLib_CDownloader() = default;
    explicit ZvLib_CDownloader(const ZvLib_CConfigParamsLoader& params) : configParams(params) {}
    virtual ~ZvLib_CDownloader() = default;

    ZvLib_CConfigParamsLoader configParams;
};
