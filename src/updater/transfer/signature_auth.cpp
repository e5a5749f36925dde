#include "updater/transfer/signature_auth.h"

#include "framework/file.h"
#include "updater/transfer/crypt_handles.h"
#include "updater/base/win32/file_helpers.h"
#include "updater/transfer/pubkey_blob.h"

#include <algorithm>
#include <vector>

namespace {

using zv::CCryptHash;
using zv::CCryptKey;
using zv::CCryptProv;

// Bytes handed to CryptHashData in one call, and read from a file at a time.
constexpr size_t kHashChunk = 256 * 1024;

// One MD5-over-RSA verification: provider, imported key and hash, released in reverse
// order whatever path is taken.
class Verifier {
public:
    zv::AuthStatus Begin(const PubKeyResource& source, size_t signatureLength)
    {
        // A public key and a hash need no private key store: nothing is kept between calls.
        if (!::CryptAcquireContextW(m_prov.Put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
            return zv::AuthStatus::kProviderFailure;
        std::vector<unsigned char> blob = source.GetKeyBlob();
        if (blob.empty()) return zv::AuthStatus::kKeyMissing;
        // Only a well-formed public key reaches CryptoAPI: a private-key blob is not what
        // the updater verifies with, a truncated or padded one is no key at all.
        auto parsed = zv::ParsePublicKeyBlob(blob.data(), blob.size());
        if (!parsed) return zv::AuthStatus::kKeyInvalid;
        if (signatureLength != parsed->bits / 8) return zv::AuthStatus::kSignatureSizeWrong;
        if (!::CryptImportKey(m_prov.Get(), blob.data(), static_cast<DWORD>(blob.size()), 0, 0, m_key.Put()))
            return zv::AuthStatus::kKeyInvalid;
        if (!::CryptCreateHash(m_prov.Get(), CALG_MD5, 0, 0, m_hash.Put())) return zv::AuthStatus::kProviderFailure;
        return zv::AuthStatus::kVerified;
    }

    bool Update(const unsigned char* data, size_t length)
    {
        while (length > 0) {
            DWORD n = static_cast<DWORD>(std::min(length, kHashChunk));
            if (!::CryptHashData(m_hash.Get(), data, n, 0)) return false;
            data += n;
            length -= n;
        }
        return true;
    }

    zv::AuthStatus Finish(const unsigned char* signature, size_t length)
    {
        // Any refusal here is about the signature: a value the key cannot have produced
        // comes back as NTE_FAIL under Wine rather than NTE_BAD_SIGNATURE.
        if (::CryptVerifySignatureW(m_hash.Get(), signature, static_cast<DWORD>(length), m_key.Get(), nullptr, 0))
            return zv::AuthStatus::kVerified;
        return zv::AuthStatus::kMismatch;
    }

private:
    // Declared in acquisition order so that they are released in reverse.
    CCryptProv m_prov;
    CCryptKey m_key;
    CCryptHash m_hash;
};

// The signature file's first line, decoded.
zv::AuthStatus ReadSignature(const std::wstring& path, std::vector<unsigned char>& signature)
{
    zv::fw::CFile file;
    if (!OpenFileWithRetry(file, path, zv::fw::CFile::modeRead | zv::fw::CFile::shareDenyWrite | zv::fw::CFile::typeText))
        return zv::AuthStatus::kSignatureUnreadable;
    std::string head(zv::kSignatureHeadBytes, '\0');
    bool more = false;
    try {
        uint32_t got = file.Read(head.data(), static_cast<uint32_t>(head.size()));
        head.resize(got);
        more = got == zv::kSignatureHeadBytes && file.GetLength() > got;
    } catch (const zv::fw::CFileException&) {
        return zv::AuthStatus::kSignatureUnreadable;
    }
    auto line = zv::SignatureFirstLine(head, more);
    if (!line) return zv::AuthStatus::kSignatureMalformed;
    return zv::DecodeSignatureLine(*line, signature) ? zv::AuthStatus::kVerified : zv::AuthStatus::kSignatureMalformed;
}

zv::AuthStatus CheckFile(const std::wstring& dataPath, const std::wstring& sigPath, const PubKeyResource* key)
{
    if (key == nullptr) return zv::AuthStatus::kNoKeySource;
    // Writers are kept out while the data is hashed.
    zv::fw::CFile data;
    if (!OpenFileWithRetry(data, dataPath, zv::fw::CFile::modeRead | zv::fw::CFile::shareDenyWrite))
        return zv::AuthStatus::kDataUnreadable;

    std::vector<unsigned char> signature;
    zv::AuthStatus status = ReadSignature(sigPath, signature);
    if (status != zv::AuthStatus::kVerified) return status;

    Verifier verifier;
    status = verifier.Begin(*key, signature.size());
    if (status != zv::AuthStatus::kVerified) return status;
    // Streamed through the hash: a payload never has to fit in memory.
    std::vector<unsigned char> buffer(kHashChunk);
    try {
        for (;;) {
            uint32_t got = data.Read(buffer.data(), static_cast<uint32_t>(buffer.size()));
            if (got == 0) break;
            if (!verifier.Update(buffer.data(), got)) return zv::AuthStatus::kProviderFailure;
        }
    } catch (const zv::fw::CFileException&) {
        return zv::AuthStatus::kDataUnreadable;
    }
    return verifier.Finish(signature.data(), signature.size());
}

} // namespace

namespace zv {

AuthStatus CheckFileSignature(const std::wstring& dataPath, const std::wstring& sigPath, const PubKeyResource* key) noexcept
{
    try {
        return CheckFile(dataPath, sigPath, key);
    } catch (...) { // out of memory: refused, never raised
        return AuthStatus::kProviderFailure;
    }
}

AuthStatus CheckSignature(const unsigned char* data, size_t dataLength, const unsigned char* signature,
                          size_t signatureLength, const PubKeyResource* key) noexcept
{
    if (key == nullptr) return AuthStatus::kNoKeySource;
    if (data == nullptr && dataLength > 0) return AuthStatus::kDataUnreadable;
    if (signature == nullptr || signatureLength == 0) return AuthStatus::kSignatureMalformed;
    try {
        Verifier verifier;
        AuthStatus status = verifier.Begin(*key, signatureLength);
        if (status != AuthStatus::kVerified) return status;
        if (!verifier.Update(data, dataLength)) return AuthStatus::kProviderFailure;
        return verifier.Finish(signature, signatureLength);
    } catch (...) { // out of memory: refused, never raised
        return AuthStatus::kProviderFailure;
    }
}

} // namespace zv

int AuthenticateFile(const std::wstring& dataPath, const std::wstring& sigPath, const PubKeyResource* key) noexcept
{
    return zv::CheckFileSignature(dataPath, sigPath, key) == zv::AuthStatus::kVerified ? 1 : 0;
}

int VerifySignature(const unsigned char* data, size_t dataLength, const unsigned char* signature, size_t signatureLength,
                    const PubKeyResource* key) noexcept
{
    return zv::CheckSignature(data, dataLength, signature, signatureLength, key) == zv::AuthStatus::kVerified ? 1 : 0;
}
