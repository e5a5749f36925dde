#include "openssl_rsa.h"

#include "updater/transfer/pubkey_blob.h"
#include "updater/base/text_helpers.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace zv::tool {

namespace {

template <auto Fn>
struct Deleter {
    template <class T>
    void operator()(T* p) const noexcept
    {
        Fn(p);
    }
};
using PKey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX_free>>;
using BigNum = std::unique_ptr<BIGNUM, Deleter<BN_free>>;
using ParamBld = std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD_free>>;
using Params = std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM_free>>;
using PKeyCtx = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using File = std::unique_ptr<FILE, Deleter<std::fclose>>;

constexpr size_t kChunk = 256 * 1024;

std::wstring OpenSslError(const wchar_t* what)
{
    char text[256] = "unknown error";
    unsigned long code = ERR_get_error();
    if (code != 0) ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return std::wstring(what) + L": " + zv::FromUtf8(text);
}

std::wstring SystemError(const std::string& path)
{
    return zv::FromUtf8(path) + L": " + zv::FromUtf8(std::strerror(errno));
}

// Creates a file for writing; with exclusive set an existing file is an error.
File CreateFile(const std::string& path, mode_t mode, bool exclusive)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | (exclusive ? O_EXCL : O_TRUNC), mode);
    if (fd < 0) return nullptr;
    FILE* f = ::fdopen(fd, "wb");
    if (f == nullptr) ::close(fd);
    return File(f);
}

// May a key file be written at path? Never through a symbolic link, whatever --force
// says; an existing file only with overwrite.
bool MayWriteKeyFile(const std::string& path, bool overwrite, std::wstring& error)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return true;
        error = SystemError(path);
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        error = zv::FromUtf8(path) + L": is a symbolic link; a key is never written through one";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = zv::FromUtf8(path) + L": not a regular file";
        return false;
    }
    if (!overwrite) {
        error = zv::FromUtf8(path) + L": exists (use --force to replace it)";
        return false;
    }
    return true;
}

// Writes a key file created with `mode` from the start (O_EXCL | O_NOFOLLOW: never an
// existing file, never through a link). With overwrite the new file is made beside the
// old one and renamed over it: the rename replaces the name, not what it points at.
bool WriteKeyFile(const std::string& path, mode_t mode, bool overwrite, const std::function<bool(FILE*)>& write,
                  std::wstring& error)
{
    const std::string target = overwrite ? path + ".new-" + std::to_string(::getpid()) : path;
    int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        error = SystemError(target);
        return false;
    }
    File f(::fdopen(fd, "wb"));
    if (!f) ::close(fd);
    bool ok = f && write(f.get()) && std::fflush(f.get()) == 0 && ::fsync(::fileno(f.get())) == 0;
    if (!ok && error.empty()) error = SystemError(target);
    f.reset();
    if (ok && overwrite && std::rename(target.c_str(), path.c_str()) != 0) {
        error = SystemError(path);
        ok = false;
    }
    if (!ok) ::unlink(target.c_str());
    return ok;
}

bool ReadHead(const std::string& path, size_t limit, std::string& head, bool& more)
{
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    head.assign(limit, '\0');
    size_t got = std::fread(head.data(), 1, limit, f.get());
    if (std::ferror(f.get())) return false;
    head.resize(got);
    more = got == limit && std::fgetc(f.get()) != EOF;
    return true;
}

// Feeds a whole file to fn(bytes, count) in chunks.
template <class Fn>
bool StreamFile(FILE* f, Fn fn)
{
    std::vector<unsigned char> buffer(kChunk);
    for (;;) {
        size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
        if (got > 0 && !fn(buffer.data(), got)) return false;
        if (got < buffer.size()) return !std::ferror(f);
    }
}

PKey PublicKeyFromBlob(const zv::RsaPublicKey& key)
{
    BigNum n(BN_bin2bn(key.modulus.data(), static_cast<int>(key.modulus.size()), nullptr));
    BigNum e(BN_new());
    ParamBld bld(OSSL_PARAM_BLD_new());
    if (!n || !e || !bld || !BN_set_word(e.get(), key.exponent)) return nullptr;
    if (!OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) ||
        !OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_E, e.get()))
        return nullptr;
    Params params(OSSL_PARAM_BLD_to_param(bld.get()));
    PKeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* raw = nullptr;
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) <= 0 ||
        EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_PUBLIC_KEY, params.get()) <= 0)
        return nullptr;
    return PKey(raw);
}

} // namespace

bool GenerateKeyPair(int bits, const std::string& privatePath, const std::string& publicPath, bool overwrite,
                     std::wstring& error)
{
    for (const auto* path : {&privatePath, &publicPath})
        if (!MayWriteKeyFile(*path, overwrite, error)) return false;
    PKey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(bits)));
    if (!key) {
        error = OpenSslError(L"key generation failed");
        return false;
    }
    BIGNUM* rawN = nullptr;
    BIGNUM* rawE = nullptr;
    EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_N, &rawN);
    BigNum n(rawN);
    EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_E, &rawE);
    BigNum e(rawE);
    if (!n || !e || BN_num_bits(e.get()) > 32) {
        error = OpenSslError(L"key parameters unavailable");
        return false;
    }
    zv::RsaPublicKey pub;
    pub.bits = static_cast<uint32_t>(bits);
    pub.exponent = static_cast<uint32_t>(BN_get_word(e.get()));
    pub.modulus.resize(static_cast<size_t>(bits) / 8);
    BN_bn2binpad(n.get(), pub.modulus.data(), static_cast<int>(pub.modulus.size()));
    std::vector<unsigned char> blob = zv::BuildPublicKeyBlob(pub);

    // The private key is readable by its owner only from the moment it exists.
    if (!WriteKeyFile(privatePath, 0600, overwrite, [&](FILE* f) {
            if (PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr)) return true;
            error = OpenSslError(L"writing the private key failed");
            return false;
        }, error))
        return false;
    return WriteKeyFile(publicPath, 0644, overwrite, [&](FILE* f) {
        return std::fwrite(blob.data(), 1, blob.size(), f) == blob.size();
    }, error);
}

struct Signer::Key {
    PKey pkey;
};

Signer::Signer() : m_key(std::make_unique<Key>()) {}
Signer::~Signer() = default;

bool Signer::LoadKey(const std::string& pemPath, std::wstring& error)
{
    File f(std::fopen(pemPath.c_str(), "rb"));
    if (!f) {
        error = SystemError(pemPath);
        return false;
    }
    m_key->pkey.reset(PEM_read_PrivateKey(f.get(), nullptr, nullptr, nullptr));
    if (!m_key->pkey) {
        error = OpenSslError((zv::FromUtf8(pemPath) + L": not a private key").c_str());
        return false;
    }
    if (!EVP_PKEY_is_a(m_key->pkey.get(), "RSA")) {
        m_key->pkey.reset();
        error = zv::FromUtf8(pemPath) + L": not an RSA key";
        return false;
    }
    return true;
}

bool Signer::SignFile(const std::string& path, std::vector<unsigned char>& signature, std::wstring& error)
{
    if (!m_key->pkey) {
        error = L"no key loaded";
        return false;
    }
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        error = SystemError(path);
        return false;
    }
    MdCtx ctx(EVP_MD_CTX_new());
    EVP_PKEY_CTX* pctx = nullptr; // owned by ctx
    if (!ctx || EVP_DigestSignInit(ctx.get(), &pctx, EVP_md5(), nullptr, m_key->pkey.get()) <= 0 ||
        EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) <= 0) {
        error = OpenSslError(L"signing set-up failed");
        return false;
    }
    bool updated = StreamFile(f.get(), [&](const unsigned char* p, size_t n) {
        return EVP_DigestSignUpdate(ctx.get(), p, n) > 0;
    });
    if (!updated) {
        error = SystemError(path);
        return false;
    }
    size_t length = 0;
    if (EVP_DigestSignFinal(ctx.get(), nullptr, &length) <= 0) {
        error = OpenSslError(L"signing failed");
        return false;
    }
    signature.assign(length, 0);
    if (EVP_DigestSignFinal(ctx.get(), signature.data(), &length) <= 0) {
        error = OpenSslError(L"signing failed");
        return false;
    }
    signature.resize(length);
    // OpenSSL gives the most significant byte first; CryptoAPI wants it last.
    std::reverse(signature.begin(), signature.end());
    return true;
}

bool WriteSignatureFile(const std::string& path, const std::vector<unsigned char>& signature, std::wstring& error)
{
    std::string target = path + ".sig";
    std::string temp = target + ".tmp";
    std::string line = zv::BytesToHex(signature.data(), signature.size()) + "\n";
    {
        File f = CreateFile(temp, 0644, false);
        if (!f || std::fwrite(line.data(), 1, line.size(), f.get()) != line.size() || std::fflush(f.get()) != 0) {
            error = SystemError(temp);
            f.reset();
            ::unlink(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        error = SystemError(target);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

zv::AuthStatus VerifyFileWithOpenSsl(const std::string& keyBlobPath, const std::string& dataPath, const std::string& sigPath)
{
    File data(std::fopen(dataPath.c_str(), "rb"));
    if (!data) return zv::AuthStatus::kDataUnreadable;

    std::string head;
    bool more = false;
    if (!ReadHead(sigPath, zv::kSignatureHeadBytes, head, more)) return zv::AuthStatus::kSignatureUnreadable;
    auto line = zv::SignatureFirstLine(head, more);
    if (!line) return zv::AuthStatus::kSignatureMalformed;
    std::vector<unsigned char> signature;
    if (!zv::DecodeSignatureLine(*line, signature)) return zv::AuthStatus::kSignatureMalformed;

    std::string blob;
    bool blobTooLong = false;
    if (!ReadHead(keyBlobPath, zv::kMaxPublicKeyBlobSize, blob, blobTooLong) || blob.empty() || blobTooLong)
        return zv::AuthStatus::kKeyMissing;
    auto key = zv::ParsePublicKeyBlob(reinterpret_cast<const unsigned char*>(blob.data()), blob.size());
    if (!key) return zv::AuthStatus::kKeyInvalid;
    if (signature.size() != key->bits / 8) return zv::AuthStatus::kSignatureSizeWrong;
    PKey pkey = PublicKeyFromBlob(*key);
    if (!pkey) return zv::AuthStatus::kKeyInvalid;

    MdCtx ctx(EVP_MD_CTX_new());
    EVP_PKEY_CTX* pctx = nullptr; // owned by ctx
    if (!ctx || EVP_DigestVerifyInit(ctx.get(), &pctx, EVP_md5(), nullptr, pkey.get()) <= 0 ||
        EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) <= 0)
        return zv::AuthStatus::kProviderFailure;
    bool updated = StreamFile(data.get(), [&](const unsigned char* p, size_t n) {
        return EVP_DigestVerifyUpdate(ctx.get(), p, n) > 0;
    });
    if (!updated) return zv::AuthStatus::kDataUnreadable;
    std::reverse(signature.begin(), signature.end());
    int verdict = EVP_DigestVerifyFinal(ctx.get(), signature.data(), signature.size());
    ERR_clear_error();
    if (verdict == 1) return zv::AuthStatus::kVerified;
    return verdict == 0 ? zv::AuthStatus::kMismatch : zv::AuthStatus::kProviderFailure;
}

} // namespace zv::tool
