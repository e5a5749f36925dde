// Test helper (Windows): signs files with CryptoAPI itself, so that zvtool's OpenSSL
// checker can be held against signatures the operating system makes.
//
//   cryptoapi_sign KEY_BLOB_OUT FILE...   writes the public key blob and FILE.sig (CRLF)
#include "updater/transfer/crypt_handles.h"
#include "updater/transfer/signature_text.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool WriteAll(const std::wstring& path, const void* data, size_t size)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool SignFile(HCRYPTPROV prov, const std::wstring& path)
{
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (f == nullptr) return false;
    zv::CCryptHash hash;
    bool ok = ::CryptCreateHash(prov, CALG_MD5, 0, 0, hash.Put()) != 0;
    std::vector<unsigned char> buffer(64 * 1024);
    size_t got = 0;
    while (ok && (got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
        ok = ::CryptHashData(hash.Get(), buffer.data(), static_cast<DWORD>(got), 0) != 0;
    std::fclose(f);
    DWORD length = 0;
    if (!ok || !::CryptSignHashW(hash.Get(), AT_SIGNATURE, nullptr, 0, nullptr, &length)) return false;
    std::vector<unsigned char> signature(length);
    if (!::CryptSignHashW(hash.Get(), AT_SIGNATURE, nullptr, 0, signature.data(), &length)) return false;
    std::string line = zv::BytesToHex(signature.data(), length) + "\r\n";
    return WriteAll(path + L".sig", line.data(), line.size());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: cryptoapi_sign KEY_BLOB_OUT FILE...\n");
        return 2;
    }
    // An ephemeral key set: nothing is left in the profile.
    zv::CCryptProv prov;
    zv::CCryptKey key;
    if (!::CryptAcquireContextW(prov.Put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
        !::CryptGenKey(prov.Get(), AT_SIGNATURE, 2048u << 16, key.Put())) {
        std::fprintf(stderr, "cryptoapi_sign: no key (error 0x%lx)\n", ::GetLastError());
        return 1;
    }
    DWORD size = 0;
    if (!::CryptExportKey(key.Get(), 0, PUBLICKEYBLOB, 0, nullptr, &size)) return 1;
    std::vector<unsigned char> blob(size);
    if (!::CryptExportKey(key.Get(), 0, PUBLICKEYBLOB, 0, blob.data(), &size) || !WriteAll(argv[1], blob.data(), size)) {
        std::fprintf(stderr, "cryptoapi_sign: cannot export the public key (error 0x%lx)\n", ::GetLastError());
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        if (!SignFile(prov.Get(), argv[i])) {
            std::fwprintf(stderr, L"cryptoapi_sign: cannot sign %s (error 0x%lx)\n", argv[i], ::GetLastError());
            return 1;
        }
    }
    return 0;
}
