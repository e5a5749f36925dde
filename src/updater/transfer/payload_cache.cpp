#include "updater/transfer/payload_cache.h"

#include "framework/file.h"
#include "updater/base/log.h"
#include "updater/base/win32/file_helpers.h"
#include "updater/transfer/durable_write.h"
#include "updater/transfer/signature_text.h"

#include <windows.h>

namespace {

// Signature files are one line of hex; anything this large is not one.
constexpr uint64_t kMaxSignatureBytes = 1u << 20;

bool Exists(const std::wstring& path)
{
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// A missing file is not retried: only a file that another process holds may come free.
bool OpenForReading(zv::fw::CFile& file, const std::wstring& path)
{
    if (!Exists(path)) return false;
    return OpenFileWithRetry(file, path, zv::fw::CFile::modeRead | zv::fw::CFile::shareDenyNone | zv::fw::CFile::typeBinary) != 0;
}

bool ReadWhole(const std::wstring& path, std::string& bytes)
{
    zv::fw::CFile file;
    if (!OpenForReading(file, path)) return false;
    try {
        uint64_t length = file.GetLength();
        if (length > kMaxSignatureBytes) return false;
        bytes.resize(static_cast<size_t>(length));
        uint32_t done = 0;
        while (done < length) {
            uint32_t n = file.Read(bytes.data() + done, static_cast<uint32_t>(length) - done);
            if (n == 0) return false;
            done += n;
        }
        return true;
    } catch (const zv::fw::CFileException&) {
        return false;
    }
}

// The first bytes of a file, enough to find a signature's first line.
bool ReadHead(const std::wstring& path, std::string& head, bool& more)
{
    zv::fw::CFile file;
    if (!OpenForReading(file, path)) return false;
    try {
        head.assign(zv::kSignatureHeadBytes, '\0');
        uint32_t done = 0;
        while (done < head.size()) {
            uint32_t n = file.Read(head.data() + done, static_cast<uint32_t>(head.size()) - done);
            if (n == 0) break;
            done += n;
        }
        head.resize(done);
        more = file.GetLength() > done;
        return true;
    } catch (const zv::fw::CFileException&) {
        return false;
    }
}

bool LengthOf(const std::wstring& path, uint64_t& length)
{
    zv::fw::CFile file;
    if (!OpenForReading(file, path)) return false;
    try {
        length = file.GetLength();
        return true;
    } catch (const zv::fw::CFileException&) {
        return false;
    }
}

// Deletes a file that is there; true when it is gone afterwards.
bool DeleteIfPresent(const std::wstring& path)
{
    if (!Exists(path)) return true;
    try {
        DeleteHiddenReadonlyFile(path);
        return true;
    } catch (const zv::fw::CFileException&) {
        return false;
    }
}

} // namespace

CPayloadCache::CPayloadCache(const std::wstring& payload, const std::wstring& signature, const std::wstring& suffix,
                             const std::wstring& payloadUrl)
    : sigPath(signature), sigPartPath(signature + suffix), payloadPath(payload), payloadPartPath(payload + suffix),
      url(payloadUrl)
{
}

int CPayloadCache::ResumeFilesExist() const
{
    return Exists(payloadPartPath) && Exists(sigPartPath) && Exists(sigPath) ? 1 : 0;
}

bool CPayloadCache::GetPartSize()
{
    uint64_t length = 0;
    if (!LengthOf(payloadPartPath, length) || length > 0xFFFFFFFFull) return false;
    partSize = static_cast<uint32_t>(length);
    return true;
}

bool CPayloadCache::IsPartLength(uint32_t length)
{
    return GetPartSize() && partSize == length;
}

int CPayloadCache::IsSignatureWellFormed() const
{
    std::string head;
    bool more = false;
    if (!ReadHead(sigPath, head, more)) return 0;
    return zv::IsWellFormedSignatureFile(head, more, signatureBytes) ? 1 : 0;
}

int CPayloadCache::IsSignatureUnchanged() const
{
    std::string current, cached;
    if (!ReadWhole(sigPath, current) || !ReadWhole(sigPartPath, cached)) return 0;
    return !current.empty() && current == cached ? 1 : 0;
}

int CPayloadCache::IsPayloadComplete(uint32_t size) const
{
    if (disabled) return 0;
    uint64_t length = 0;
    if (!LengthOf(payloadPath, length) || length != size) return 0;
    if (Exists(payloadPartPath)) return 0;
    if (!Exists(sigPartPath)) return 0;
    if (!Exists(sigPath)) return 0;
    return 1;
}

int CPayloadCache::CheckResumable()
{
    if (disabled) {
        resumable = 0;
        return 0;
    }
    // The complete payload is not needed: while a first download is under way it
    // does not exist, and demanding it would mean no download ever resumes.
    if (!ResumeFilesExist()) {
        resumable = 0;
        zv::Log().Log(zv::ZVLOG_INFO2, L"---- Downloader-cacher:   ZV-cached payload file not found.  Not resumable: '%s', '%s'\n",
                    payloadPartPath.c_str(), url.c_str());
        return 0;
    }
    zv::Log().Log(zv::ZVLOG_INFO2, L"----- Downloader-cacher:   ZV-cached payload file found.  May be resumable: '%s', '%s'\n",
                payloadPartPath.c_str(), url.c_str());
    // Bytes of unknown number cannot be continued: the body would land at the wrong offset.
    if (!GetPartSize()) {
        resumable = 0;
        zv::Log().Log(zv::ZVLOG_INFO2, L"----- Downloader-cacher:   ZV-cached payload file cannot be measured; payload is not resumable: '%s'\n",
                    payloadPartPath.c_str());
        return 0;
    }
    if (IsSignatureUnchanged() && partSize <= remoteSize) {
        resumable = 1;
        GetResumeRange();
        zv::Log().Log(zv::ZVLOG_INFO2, L"----- Downloader-cacher:   ZV-cache is clean; payload is resumable: '%s'.  Cached %d / %d bytes\n",
                    payloadPartPath.c_str(), static_cast<int>(partSize), static_cast<int>(remoteSize));
    } else {
        // A partial file longer than the remote one cannot belong to it either.
        resumable = 0;
        zv::Log().Log(zv::ZVLOG_INFO2, L"----- Downloader-cacher:   ZV-cache is dirty; payload is not resumable: '%s'.  Discarding %d bytes, '%s'.\n",
                    payloadPartPath.c_str(), static_cast<int>(partSize), url.c_str());
    }
    return resumable;
}

std::pair<uint32_t, uint32_t> CPayloadCache::GetResumeRange()
{
    GetPartSize();
    rangeStart = partSize;
    rangeEnd = remoteSize - 1;
    return {rangeStart, rangeEnd};
}

void CPayloadCache::ResetCache()
{
    resumable = 0;
    DeleteIfPresent(payloadPartPath);
    DeleteIfPresent(payloadPath);
    DeleteIfPresent(sigPartPath);
    // The partial file about to be written is fingerprinted by the current signature.
    if (Exists(sigPath) && !zv::CopyFileDurably(sigPath, sigPartPath))
        zv::Log().Log(zv::ZVLOG_INFO2, L"----- Downloader-cacher: ResetCache: GetLastError: %d, cannot copy '%s'\n",
                    static_cast<int>(::GetLastError()), sigPath.c_str());
    // P and P.part were deleted above; P.part starts again empty.
    zv::fw::CFile part;
    if (!part.Open(payloadPartPath, zv::fw::CFile::modeCreate | zv::fw::CFile::modeWrite | zv::fw::CFile::typeBinary))
        zv::Log().Log(zv::ZVLOG_INFO2, L"----- Downloader-cacher: ResetCache: cannot create '%s'\n", payloadPartPath.c_str());
}

int CPayloadCache::MoveCachedPayloadToPayload()
{
    bool deleted = DeleteIfPresent(payloadPath);
    RemoveHiddenReadonlyFileStatus(payloadPartPath);
    try {
        // The bytes reach the disk before the final name points at them.
        zv::FlushFileToDisk(payloadPartPath);
        zv::fw::CFile::Rename(payloadPartPath, payloadPath);
        return deleted ? 1 : 0;
    } catch (const zv::fw::CFileException& e) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"----- Downloader-cacher: MoveCachedPayloadToPayload: CFileException %d, failed to rename cached payload file to payload. File '%s'\n",
                    e.m_cause, payloadPath.c_str());
    }
    if (!zv::CopyFileDurably(payloadPartPath, payloadPath)) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"----- Downloader-cacher: MoveCachedPayloadToPayload: GetLastError: %d, failed to copy cached payload file to payload. File '%s'\n",
                    static_cast<int>(::GetLastError()), payloadPath.c_str());
        return 0;
    }
    DeleteIfPresent(payloadPartPath);
    return 1;
}
