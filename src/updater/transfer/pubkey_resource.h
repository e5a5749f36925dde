#pragma once
// Where the updater's public key comes from (Windows): a resource of a module, or else
// a key file installed beside the program.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

class PubKeyResource {
public:
    PubKeyResource() = default;
    virtual ~PubKeyResource() = default;

    // A copy of the key blob: the resource's bytes when the resource exists (an unusable
    // resource is not replaced by the file), else the key file's bytes. Empty when
    // neither is there, the file cannot be read, or it is larger than any key blob.
    std::vector<unsigned char> GetKeyBlob() const;

    HMODULE module = nullptr;
    std::wstring resourceName; // "#101" names a numeric id
    std::wstring resourceType;
    std::wstring keyFilePath;
};

// The length in bytes of the signatures the key makes (its modulus); 0 when the key
// cannot be read or is not an RSA public key.
namespace zv {

size_t SignatureLengthOf(const PubKeyResource& key);

// File name of the key installed beside the program.
inline constexpr wchar_t kPublicKeyFileName[] = L"quorkey.pub";

// Points key.keyFilePath at "quorkey.pub" in the running executable's folder and logs it.
void SetKeyFileBesideModule(PubKeyResource& key);

} // namespace zv
