#pragma once
// Sizes the reads of a download body. A synchronous read waits until its buffer is
// full, so a read larger than the link delivers in a few tens of milliseconds would
// delay the cancel test between reads; a small read on a fast link wastes time in
// calls. Each read asks for what is already available, or for what the link has lately
// delivered in kTargetMicros, whichever is more, within [1, kMaxRead]. The estimate
// falls at once to a slower read and rises gently, and the size may at most double
// from one read to the next: after a burst of buffered data on a slow link, a single
// read waits for the link before reads are small again.
#include <algorithm>
#include <cstdint>

namespace zv {

class ReadSizer {
public:
    static constexpr uint32_t kMaxRead = 1u << 20;
    static constexpr uint32_t kInitialTarget = 1024;
    static constexpr uint64_t kTargetMicros = 25000;

    uint32_t NextRead(uint32_t available) const
    {
        return std::clamp<uint32_t>(std::max(available, m_target), 1, kMaxRead);
    }

    // One read of got bytes, micros after the previous read ended (or, for the first,
    // after the request was sent).
    void Record(uint32_t got, uint64_t micros)
    {
        if (got == 0) return;
        double sample = static_cast<double>(got) * 1e6 / static_cast<double>(std::max<uint64_t>(micros, 1));
        m_bytesPerSecond = (m_reads++ == 0 || sample < m_bytesPerSecond) ? sample : 0.5 * m_bytesPerSecond + 0.5 * sample;
        double byRate = m_bytesPerSecond * static_cast<double>(kTargetMicros) / 1e6;
        double limit = std::min<double>(2.0 * m_target, kMaxRead);
        m_target = static_cast<uint32_t>(std::clamp(byRate, 1.0, limit));
    }

    double BytesPerSecond() const { return m_bytesPerSecond; }

private:
    double m_bytesPerSecond = 0;
    uint64_t m_reads = 0;
    uint32_t m_target = kInitialTarget;
};

} // namespace zv
