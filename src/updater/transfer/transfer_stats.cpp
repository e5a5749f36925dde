#include "updater/transfer/transfer_stats.h"

#include "updater/base/clock.h"

ZvLib_CTransferStats::Clock ZvLib_CTransferStats::PerformanceCounter()
{
    return {zv::PerformanceCounterNow, zv::PerformanceCounterFrequency};
}

ZvLib_CTransferStats::ZvLib_CTransferStats() : m_clock(PerformanceCounter()) {}

ZvLib_CTransferStats::ZvLib_CTransferStats(Clock clock) : m_clock(clock) {}

void ZvLib_CTransferStats::Reset(int32_t startByteCount)
{
    lastIntervalSeconds = 0;
    startBytes = startByteCount;
    previousBytes = static_cast<uint32_t>(startByteCount);
    startCount = m_clock.now();
    lastCount = startCount;
    nowCount = 0;
    frequency = m_clock.frequency();
    previousSeconds = 0;
    nowSeconds = 0;
    intervalSeconds = 0;
}

void ZvLib_CTransferStats::Update(uint32_t totalSoFar)
{
    currentBytes = totalSoFar;
    uint32_t delta = totalSoFar > previousBytes ? totalSoFar - previousBytes : 0;
    nowCount = m_clock.now();
    if (static_cast<double>(frequency) > 1e-6) {
        intervalSeconds = static_cast<double>(nowCount - lastCount) / static_cast<double>(frequency);
        nowSeconds = static_cast<double>(nowCount) / static_cast<double>(frequency);
    }
    lastUpdateSeconds = nowSeconds;

    double sample = (delta != 0 && intervalSeconds > 1e-5) ? delta / intervalSeconds : 0.0;
    if (sampleCount < kMaxSamples) ++sampleCount;
    for (int i = kMaxSamples - 1; i > 0; --i) rateSamples[i] = rateSamples[i - 1];
    rateSamples[0] = sample;

    double average = AverageRate();
    if (average > 1e-5)
        finishSeconds = lastUpdateSeconds + (static_cast<double>(totalBytes) - static_cast<double>(currentBytes)) / average;
    else
        finishSeconds = lastUpdateSeconds;

    previousBytes = currentBytes;
    lastCount = nowCount;
    previousSeconds = nowSeconds;
    lastIntervalSeconds = intervalSeconds;
    currentBytes = 0;
    nowCount = 0;
    nowSeconds = 0;
    intervalSeconds = 0;
}

double ZvLib_CTransferStats::AverageRate() const
{
    if (sampleCount <= 0) return 0;
    double sum = 0;
    for (int i = 0; i < sampleCount; ++i) sum += rateSamples[i];
    return sum / sampleCount;
}

double ZvLib_CTransferStats::SecondsRemaining() const
{
    return finishSeconds - lastUpdateSeconds;
}

double ZvLib_CTransferStats::ConservativeRate()
{
    if (conservativeRate < 1e-5) conservativeRate = 0.33 * AverageRate();
    return conservativeRate;
}
