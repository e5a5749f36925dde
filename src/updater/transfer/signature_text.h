#pragma once
// Portable pieces of signature checking: the signature file's text and the outcome
// codes shared by the product (CryptoAPI) and zvtool's OpenSSL checker.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Decodes `text` as exactly `count` bytes, two hexadecimal digits (either case) per
// byte, first pair first. Returns 1 on success; 0 when the length is not 2 * count or
// any character is not a hexadecimal digit, leaving `buffer` untouched.
int HexToBytes(std::string_view text, unsigned char* buffer, size_t count);

namespace zv {

// Two upper-case hexadecimal digits per byte, first byte first.
std::string BytesToHex(const unsigned char* data, size_t count);

// How a signature check ended; only kVerified accepts the file.
enum class AuthStatus {
    kVerified,
    kNoKeySource,         // no key source was given
    kDataUnreadable,      // the data file could not be opened or read
    kSignatureUnreadable, // the signature file could not be opened or read
    kSignatureMalformed,  // first line empty, too long, odd length or not hexadecimal
    kKeyMissing,          // no key resource and no readable key file
    kKeyInvalid,          // the key is not an RSA public-key blob
    kSignatureSizeWrong,  // the signature is not as long as the key's modulus
    kProviderFailure,     // the cryptographic provider refused a step
    kMismatch,            // the signature does not match the data and key
};

// A short lower-case phrase for a verdict line ("signature does not match").
const wchar_t* AuthStatusText(AuthStatus status);

// The longest signature line accepted: the digits of a 16384-bit key's signature.
inline constexpr size_t kMaxSignatureDigits = 4096;
// How much of a signature file a reader needs to look at to find its first line.
inline constexpr size_t kSignatureHeadBytes = kMaxSignatureDigits + 2;

// The first line of a signature file, without its line end ("\n", "\r\n" or a lone
// trailing "\r"), from the file's first bytes `head`; `more` tells that the file goes
// on past them. Empty when the line is longer than kMaxSignatureDigits.
std::optional<std::string_view> SignatureFirstLine(std::string_view head, bool more);

// Decodes a signature line into bytes (in the order the file holds them). False, with
// `signature` empty, for an empty line, an odd count or a character that is not a digit.
bool DecodeSignatureLine(std::string_view line, std::vector<unsigned char>& signature);

// Whether a signature file's first bytes `head` (`more`: the file goes on past them) hold
// a signature at all: a first line of hexadecimal digits, two per byte, further lines
// allowed. With signatureBytes nonzero (the key's modulus length) the line must decode
// to exactly that many bytes. An error page or a portal's login form is not one.
bool IsWellFormedSignatureFile(std::string_view head, bool more, size_t signatureBytes);

} // namespace zv
