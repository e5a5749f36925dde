#pragma once
// What a download pass hands to each transfer: its own copy of the configuration
// record, whose cache directives the resumable download reads.
#include "updater/config/config_params.h"

class PubKeyResource;

class ZvLib_CDownloader {
public:
    ZvLib_CDownloader() = default;
    explicit ZvLib_CDownloader(const ZvLib_CConfigParamsLoader& params) : configParams(params) {}
    virtual ~ZvLib_CDownloader() = default;

    ZvLib_CConfigParamsLoader configParams;
    // The key the payload's signature is checked with; when set, the resumable download
    // trusts a signature file only if it is as long as the key's modulus.
    const PubKeyResource* publicKey = nullptr;
};
