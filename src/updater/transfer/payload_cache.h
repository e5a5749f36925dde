#pragma once
// The download cache: a partial payload kept beside its final name, continued with a
// ranged request while the payload's signature is unchanged. Four files take part:
// S (the signature just fetched), S.part (the signature the partial payload belongs
// to), P.part (the payload being fetched) and P (the complete payload).
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

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
    // True when P.part was measured into partSize; partSize is unchanged otherwise.
    bool GetPartSize();
    // True when P.part can be measured and is exactly `length` bytes long: the offset a
    // ranged body is written at.
    bool IsPartLength(uint32_t length);
    // S holds a signature (IsWellFormedSignatureFile with signatureBytes); anything else
    // must neither fingerprint the cache nor discard it.
    int IsSignatureWellFormed() const;
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
    // The key's modulus length in bytes, which a signature must have; 0: not known.
    size_t signatureBytes = 0;
};
