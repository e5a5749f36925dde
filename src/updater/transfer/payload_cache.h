#pragma once
// The download cache: a partial payload kept beside its final name, continued with a
// ranged request while the payload's signature is unchanged. Four files take part:
// S (the signature just fetched), S.part (the signature the partial payload belongs
// to), P.part (the payload being fetched) and P (the complete payload).
#include <cstdint>
#include <string>
#include <utility>

class ZvLib_CDownloader;
class ZvLib_CTransferStats;
class ZvLib_IDownloadEvents;
struct ZvLib_CDownloadRequest;
struct ZvLib_CItemProgress;

// Receives the payload's Content-Length from the fetcher's size query.
class IPayloadCache {
public:
    virtual void SetRemoteFileSize(uint32_t size) = 0;
    virtual ~IPayloadCache() = default;
};

class CPayloadCache : public IPayloadCache {
public:
    CPayloadCache(const std::wstring& payload, const std::wstring& signature, const std::wstring& suffix,
                  const std::wstring& payloadUrl);
    void SetRemoteFileSize(uint32_t size) override { remoteSize = size; }
    ~CPayloadCache() override = default;

    void Disable() { disabled = 1; }
    // P.part, S.part and S: what a resumed download needs.
    int ResumeFilesExist() const;
    // 0 (S_OK) when P.part was measured into partSize.
    long GetPartSize();
    int IsSignatureUnchanged() const;
    int IsCacheUsable() const { return !disabled && IsSignatureUnchanged(); }
    int IsPayloadComplete(uint32_t size) const;
    int CheckResumable();
    std::pair<uint32_t, uint32_t> GetResumeRange();
    void ResetCache();
    int MoveCachedPayloadToPayload();

    std::wstring sigPath;
    std::wstring sigPartPath;
    std::wstring payloadPath;
    std::wstring payloadPartPath;
    std::wstring url;
    uint32_t remoteSize = 0;
    uint32_t partSize = 0;
    uint32_t rangeStart = 0;
    uint32_t rangeEnd = 0;
    int resumable = 0;
    int disabled = 0;
};

// Fetches request.payloadUrl into request.payloadPath through the cache: reuses a
// complete payload, continues a partial one, or starts again. 1 when P is complete.
// httpStatus, when given, receives the last response's status code.
int HttpGrabFileResumable(ZvLib_CDownloader& downloader, int id, ZvLib_CDownloadRequest& request, int& cancelled,
                          int& connectionError, const std::wstring& cancelEventName, ZvLib_IDownloadEvents* sink,
                          const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats, int* httpStatus = nullptr);
