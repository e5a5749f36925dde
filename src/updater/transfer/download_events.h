#pragma once
// What a download tells an optional progress sink, and what it is given to fetch.
#include <cstdint>
#include <string>

// The item a download belongs to, as the download pass describes it to the sink.
struct ZvLib_CItemProgress {
    std::wstring name;
    int itemId = -1;
    int index = -1; // 1-based position in the pass
    int count = -1;
    int size = -1;  // bytes
};

// Progress sink supplied by an application. The slot order is fixed: slots 6 to 20
// are reserved and never called.
class ZvLib_IDownloadEvents {
public:
    virtual ~ZvLib_IDownloadEvents() = default;
    virtual void OnDownloadGroupBegin(int count, uint32_t totalBytes, int estimatedSeconds) = 0;
    // [rangeStart, rangeEnd] is what is requested; (0, 0) the whole file.
    virtual void OnItemBegin(int id, const ZvLib_CItemProgress& item, uint32_t expectedSize, uint32_t rangeStart,
                             uint32_t rangeEnd) = 0;
    virtual void OnItemProgress(int id, uint32_t bytesSoFar, uint32_t expectedSize, double averageRate,
                                double secondsRemaining) = 0;
    virtual void OnItemError(int id, const std::wstring& errorText) = 0;
    virtual void OnItemEnd(int id) = 0;
    virtual void OnDownloadGroupEnd() = 0;
    virtual void Reserved06() {}
    virtual void Reserved07() {}
    virtual void Reserved08() {}
    virtual void Reserved09() {}
    virtual void Reserved10() {}
    virtual void Reserved11() {}
    virtual void Reserved12() {}
    virtual void Reserved13() {}
    virtual void Reserved14() {}
    virtual void Reserved15() {}
    virtual void Reserved16() {}
    virtual void Reserved17() {}
    virtual void Reserved18() {}
    virtual void Reserved19() {}
    virtual void Reserved20() {}
    // Bytes between two progress notifications.
    virtual uint32_t GetProgressInterval() = 0;
};

// One payload and its signature, as the download pass asks for them.
struct ZvLib_CDownloadRequest {
    std::wstring payloadUrl;
    std::wstring payloadPath;
    std::wstring sigUrl;
    std::wstring sigPath;
    std::wstring agentName;
    uint32_t expectedSize = 0; // filled from the server's Content-Length
};
