#pragma once
// Authentication of downloaded files (Windows, CryptoAPI): a detached signature file
// whose first line is the hexadecimal RSA signature, PKCS#1 v1.5 over MD5, in the
// byte order CryptSignHash produces (least significant byte first).
//
// Verification runs in a verify-only provider context: no key container is opened or
// created, so it works for a user whose profile holds none and cannot be written.
#include "updater/transfer/pubkey_resource.h"
#include "updater/transfer/signature_text.h"

#include <cstddef>
#include <string>

// 1 when the first line of sigPath is a signature of the whole of dataPath made with
// the private half of the key, else 0. Never raises, logs nothing: callers log the
// outcome and delete files that fail.
int AuthenticateFile(const std::wstring& dataPath, const std::wstring& sigPath, const PubKeyResource* key) noexcept;

// 1 when signature (bytes in file order) verifies over data with the key, else 0.
int VerifySignature(const unsigned char* data, size_t dataLength, const unsigned char* signature, size_t signatureLength,
                    const PubKeyResource* key) noexcept;

namespace zv {

// The same checks, telling why a file was refused.
AuthStatus CheckFileSignature(const std::wstring& dataPath, const std::wstring& sigPath, const PubKeyResource* key) noexcept;
AuthStatus CheckSignature(const unsigned char* data, size_t dataLength, const unsigned char* signature,
                          size_t signatureLength, const PubKeyResource* key) noexcept;

} // namespace zv
