#include "updater/transfer/pubkey_blob.h"

#include <algorithm>

namespace zv {

namespace {

uint32_t ReadLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void AppendLe32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

} // namespace

std::optional<RsaPublicKey> ParsePublicKeyBlob(const unsigned char* data, size_t size)
{
    if (data == nullptr || size < kPublicKeyBlobHeaderSize) return std::nullopt;
    if (data[0] != kPublicKeyBlobType || data[1] != kBlobVersion) return std::nullopt;
    uint32_t alg = ReadLe32(data + 4);
    if (alg != kAlgRsaSign && alg != kAlgRsaKeyx) return std::nullopt;
    if (ReadLe32(data + 8) != kRsa1Magic) return std::nullopt;
    RsaPublicKey key;
    key.bits = ReadLe32(data + 12);
    key.exponent = ReadLe32(data + 16);
    if (key.bits < kMinRsaBits || key.bits > kMaxRsaBits || key.bits % 8 != 0) return std::nullopt;
    if (size != kPublicKeyBlobHeaderSize + key.bits / 8) return std::nullopt;
    if (key.exponent < 3 || key.exponent % 2 == 0) return std::nullopt;
    const unsigned char* le = data + kPublicKeyBlobHeaderSize;
    key.modulus.assign(std::make_reverse_iterator(le + key.bits / 8), std::make_reverse_iterator(le));
    if (std::all_of(key.modulus.begin(), key.modulus.end(), [](unsigned char b) { return b == 0; })) return std::nullopt;
    return key;
}

std::vector<unsigned char> BuildPublicKeyBlob(const RsaPublicKey& key)
{
    std::vector<unsigned char> blob{kPublicKeyBlobType, kBlobVersion, 0, 0};
    AppendLe32(blob, kAlgRsaSign);
    AppendLe32(blob, kRsa1Magic);
    AppendLe32(blob, key.bits);
    AppendLe32(blob, key.exponent);
    size_t bytes = key.bits / 8;
    std::vector<unsigned char> le(bytes, 0);
    // Least significant byte first; a short modulus leaves the high bytes zero.
    for (size_t i = 0; i < key.modulus.size() && i < bytes; ++i) le[i] = key.modulus[key.modulus.size() - 1 - i];
    blob.insert(blob.end(), le.begin(), le.end());
    return blob;
}

} // namespace zv
