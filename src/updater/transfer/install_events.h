#pragma once
// What an apply and an install pass tell an optional install-progress sink. The slot
// order is fixed; the reserved slots are never called.
#include <cstdint>

class ZvLib_IInstallEvents {
public:
    virtual ~ZvLib_IInstallEvents() = default;
    virtual void Reserved00() {}
    virtual void Reserved01() {}
    virtual void Reserved02() {}
    virtual void Reserved03() {}
    virtual void Reserved04() {}
    virtual void Reserved05() {}
    // Slot 6: once before the first installable of a pass (count, then three zeros).
    virtual void OnInstallGroupBegin(int count, int reserved1, int reserved2, int reserved3) = 0;
    virtual void Reserved07() {}
    // Slot 8: a step of the invented apply progress.
    virtual void OnInstallProgress(int itemId, uint32_t bytesDone, uint32_t totalBytes, double rate, int totalMiBThousands,
                                   int reserved) = 0;
    virtual void Reserved09() {}
    // Slot 10: the apply of itemId has ended.
    virtual void OnInstallEnd(int itemId, int reserved) = 0;
    // Slot 11: once at the end of a pass that called OnInstallGroupBegin.
    virtual void OnInstallGroupEnd(int reserved) = 0;
};
