#pragma once
// What bounds a whole-file download: it is held in memory, so its size is capped per
// use, and a server that trickles must not hold the worker, so a body that arrives
// slower than a minimum average rate after a grace period is given up.
#include <cstdint>
#include <string>

namespace zv {

// A signature file: one line of hexadecimal digits (a 16384-bit key's signature is
// 4096 of them) and a few short lines more.
inline constexpr uint32_t kMaxSignatureFileBytes = 8u * 1024;
// A manifest.
inline constexpr uint32_t kMaxManifestBytes = 16u * 1024 * 1024;
inline constexpr uint32_t kWholeFileGraceMs = 30000;
inline constexpr uint32_t kWholeFileMinBytesPerSecond = 1024;

struct WholeFileLimits {
    uint32_t maxBytes = kMaxManifestBytes;
    // The host's cancel event; tested whatever the notify flag says. Empty: none.
    std::wstring cancelEventName;
    uint32_t graceMs = kWholeFileGraceMs;
    uint32_t minBytesPerSecond = kWholeFileMinBytesPerSecond;
};

// True when `received` bytes after `elapsedMicros` is too slow to go on with.
inline bool TooSlow(const WholeFileLimits& limits, uint64_t elapsedMicros, uint64_t received)
{
    if (elapsedMicros <= static_cast<uint64_t>(limits.graceMs) * 1000) return false;
    return received * 1000000 < static_cast<uint64_t>(limits.minBytesPerSecond) * elapsedMicros;
}

} // namespace zv
