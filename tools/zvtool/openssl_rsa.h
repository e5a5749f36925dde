#pragma once
// zvtool's own RSA code on OpenSSL (native build): the signer for deployment and an
// independent checker of what the product accepts with CryptoAPI.
#include "updater/transfer/signature_text.h"

#include <memory>
#include <string>
#include <vector>

namespace zv::tool {

// Generates an RSA key pair: the private key as PEM (PKCS#8, mode 0600) and the public
// half as a CryptoAPI public-key blob. Existing files are kept unless overwrite is set.
bool GenerateKeyPair(int bits, const std::string& privatePath, const std::string& publicPath, bool overwrite,
                     std::wstring& error);

// Signs files with one private key: MD5, PKCS#1 v1.5.
class Signer {
public:
    Signer();
    ~Signer();
    Signer(const Signer&) = delete;
    Signer& operator=(const Signer&) = delete;

    bool LoadKey(const std::string& pemPath, std::wstring& error);
    // The signature of the whole file, least significant byte first (CryptoAPI's order).
    bool SignFile(const std::string& path, std::vector<unsigned char>& signature, std::wstring& error);

private:
    struct Key;
    std::unique_ptr<Key> m_key;
};

// Writes "path" + ".sig": the signature in upper-case hexadecimal and a line end,
// replacing an older one only once the new one is complete.
bool WriteSignatureFile(const std::string& path, const std::vector<unsigned char>& signature, std::wstring& error);

// Checks a file against its signature file and a public-key blob file, as the product
// does, with OpenSSL instead of CryptoAPI.
zv::AuthStatus VerifyFileWithOpenSsl(const std::string& keyBlobPath, const std::string& dataPath,
                                     const std::string& sigPath);

} // namespace zv::tool
