#pragma once
// Transfer rate and time-to-finish from a high-resolution counter. One object may be
// shared by several transfers: its rate samples carry over from one to the next.
#include <cstdint>

class ZvLib_CTransferStats {
public:
    // The counter the statistics read; the product uses the performance counter.
    struct Clock {
        int64_t (*now)();
        int64_t (*frequency)();
    };
    static Clock PerformanceCounter();

    static constexpr int kMaxSamples = 10;

    ZvLib_CTransferStats();
    explicit ZvLib_CTransferStats(Clock clock);
    virtual ~ZvLib_CTransferStats() = default;

    void Reset(int32_t startByteCount);
    void Update(uint32_t totalSoFar);
    double AverageRate() const;
    double SecondsRemaining() const;
    double ConservativeRate();

    double finishSeconds = 0;
    double previousSeconds = 0;
    double nowSeconds = 0;
    double lastUpdateSeconds = 0;
    double intervalSeconds = 0;
    double lastIntervalSeconds = 0;
    int64_t startCount = 0;
    int64_t lastCount = 0;
    int64_t nowCount = 0;
    int64_t frequency = 0;
    int32_t startBytes = 0;
    uint32_t totalBytes = 0;
    uint32_t previousBytes = 0;
    uint32_t currentBytes = 0;
    double rateSamples[kMaxSamples] = {};
    int sampleCount = 0;
    double conservativeRate = 0;

private:
    Clock m_clock;
};
