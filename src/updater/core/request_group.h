#pragma once
// One product whose updates are checked: its id and configuration record.
#include "updater/config/config_params.h"

class ZvLib_CRequestGroupInfo {
public:
    virtual ~ZvLib_CRequestGroupInfo() = default;

    int id = 0;
    // requestGroupId is kept equal to id.
    ZvLib_CConfigParamsLoader config;
};
