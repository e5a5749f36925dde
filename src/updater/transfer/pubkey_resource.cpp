#include "updater/transfer/pubkey_resource.h"

#include "framework/file.h"
#include "updater/base/log.h"
#include "updater/base/win32/path_helpers.h"
#include "updater/transfer/pubkey_blob.h"

#include <optional>

namespace {

// Empty when there is no such resource; a resource that exists is used even when it
// is unusable, never replaced by a file beside the program.
std::optional<std::vector<unsigned char>> ResourceBytes(const PubKeyResource& key)
{
    if (key.resourceName.empty() || key.resourceType.empty()) return std::nullopt;
    HRSRC found = ::FindResourceW(key.module, key.resourceName.c_str(), key.resourceType.c_str());
    if (found == nullptr) return std::nullopt;
    DWORD size = ::SizeofResource(key.module, found);
    HGLOBAL loaded = ::LoadResource(key.module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0 || size > zv::kMaxPublicKeyBlobSize) return std::vector<unsigned char>();
    const auto* p = static_cast<const unsigned char*>(bytes);
    return std::vector<unsigned char>(p, p + size);
}

std::vector<unsigned char> KeyFileBytes(const std::wstring& path)
{
    if (path.empty()) return {};
    zv::fw::CFile file;
    if (!file.Open(path, zv::fw::CFile::modeRead | zv::fw::CFile::shareDenyWrite)) return {};
    try {
        uint64_t length = file.GetLength();
        if (length == 0 || length > zv::kMaxPublicKeyBlobSize) return {};
        std::vector<unsigned char> blob(static_cast<size_t>(length));
        uint32_t got = file.Read(blob.data(), static_cast<uint32_t>(blob.size()));
        if (got != blob.size()) return {};
        return blob;
    } catch (const zv::fw::CFileException&) {
        return {};
    }
}

} // namespace

std::vector<unsigned char> PubKeyResource::GetKeyBlob() const
{
    if (auto fromResource = ResourceBytes(*this)) return *fromResource;
    return KeyFileBytes(keyFilePath);
}

size_t zv::SignatureLengthOf(const PubKeyResource& key)
{
    std::vector<unsigned char> blob = key.GetKeyBlob();
    auto parsed = zv::ParsePublicKeyBlob(blob.data(), blob.size());
    return parsed ? parsed->bits / 8 : 0;
}

void zv::SetKeyFileBesideModule(PubKeyResource& key)
{
    key.keyFilePath = GetModuleDirectory() + L"\\" + zv::kPublicKeyFileName;
    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ****** Using public key file '%s' if resource option is not available\n",
                key.keyFilePath.c_str());
}
