#pragma once
// The download cache: a partial payload kept beside its final name, continued with a
// ranged request while the payload's signature is unchanged.
#include <cstdint>

// Receives the payload's Content-Length from the fetcher's size query.
class IPayloadCache {
public:
    virtual void SetRemoteFileSize(uint32_t size) = 0;
    virtual ~IPayloadCache() = default;
};
