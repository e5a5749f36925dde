#pragma once
// The CryptoAPI public-key blob of an RSA key (PUBLICKEYBLOB): a 20-byte header
//   BLOBHEADER { bType 0x06, bVersion 0x02, reserved 0, aiKeyAlg CALG_RSA_SIGN or CALG_RSA_KEYX }
//   RSAPUBKEY  { magic "RSA1", bitlen, pubexp }   (all numbers little-endian)
// followed by the modulus, bitlen / 8 bytes, least significant byte first.
// Portable: the product checks a key file before handing it to CryptoAPI, zvtool
// writes and reads it with OpenSSL.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace zv {

inline constexpr uint8_t kPublicKeyBlobType = 0x06; // PUBLICKEYBLOB
inline constexpr uint8_t kBlobVersion = 0x02;       // CUR_BLOB_VERSION
inline constexpr uint32_t kAlgRsaSign = 0x00002400; // CALG_RSA_SIGN
inline constexpr uint32_t kAlgRsaKeyx = 0x0000a400; // CALG_RSA_KEYX
inline constexpr uint32_t kRsa1Magic = 0x31415352;  // "RSA1"
inline constexpr size_t kPublicKeyBlobHeaderSize = 20;
inline constexpr uint32_t kMinRsaBits = 512;
inline constexpr uint32_t kMaxRsaBits = 16384;
// No valid key file is larger; a key source that is larger is not read.
inline constexpr size_t kMaxPublicKeyBlobSize = kPublicKeyBlobHeaderSize + kMaxRsaBits / 8;

struct RsaPublicKey {
    uint32_t bits = 0;
    uint32_t exponent = 0;
    std::vector<unsigned char> modulus; // big-endian, bits / 8 bytes
};

// Reads a public-key blob. Empty when it is not exactly one RSA public key of
// kMinRsaBits to kMaxRsaBits bits (a whole number of bytes) with an odd exponent above 1:
// a truncated or padded file, a private-key blob, another algorithm or a zero modulus.
std::optional<RsaPublicKey> ParsePublicKeyBlob(const unsigned char* data, size_t size);

// The blob of a key (aiKeyAlg CALG_RSA_SIGN); the modulus is left-padded to bits / 8.
std::vector<unsigned char> BuildPublicKeyBlob(const RsaPublicKey& key);

} // namespace zv
