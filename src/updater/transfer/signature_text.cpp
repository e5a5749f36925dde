#include "updater/transfer/signature_text.h"

#include "updater/base/text_helpers.h"

using zv::HexDigitValue;

int HexToBytes(std::string_view text, unsigned char* buffer, size_t count)
{
    if (count > text.size() / 2 || text.size() != 2 * count) return 0;
    // Check everything first so that a bad line leaves the buffer as it was.
    for (char c : text)
        if (HexDigitValue(c) < 0) return 0;
    for (size_t i = 0; i < count; ++i)
        buffer[i] = static_cast<unsigned char>(HexDigitValue(text[2 * i]) * 16 + HexDigitValue(text[2 * i + 1]));
    return 1;
}

namespace zv {

std::string BytesToHex(const unsigned char* data, size_t count)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * count);
    for (size_t i = 0; i < count; ++i) {
        text.push_back(kDigits[data[i] >> 4]);
        text.push_back(kDigits[data[i] & 0x0F]);
    }
    return text;
}

const wchar_t* AuthStatusText(AuthStatus status)
{
    switch (status) {
    case AuthStatus::kVerified: return L"signature verified";
    case AuthStatus::kNoKeySource: return L"no key source";
    case AuthStatus::kDataUnreadable: return L"data file cannot be read";
    case AuthStatus::kSignatureUnreadable: return L"signature file cannot be read";
    case AuthStatus::kSignatureMalformed: return L"signature line is not an even number of hexadecimal digits";
    case AuthStatus::kKeyMissing: return L"public key not found";
    case AuthStatus::kKeyInvalid: return L"public key is not an RSA public-key blob";
    case AuthStatus::kSignatureSizeWrong: return L"signature length does not match the key";
    case AuthStatus::kProviderFailure: return L"cryptographic provider failed";
    case AuthStatus::kMismatch: return L"signature does not match";
    }
    return L"unknown failure";
}

std::optional<std::string_view> SignatureFirstLine(std::string_view head, bool more)
{
    size_t end = head.find('\n');
    if (end == std::string_view::npos) {
        // No line end seen: the line is all of head, unless the file goes on.
        if (more) return std::nullopt;
        end = head.size();
    }
    std::string_view line = head.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxSignatureDigits) return std::nullopt;
    return line;
}

bool DecodeSignatureLine(std::string_view line, std::vector<unsigned char>& signature)
{
    signature.clear();
    if (line.empty() || line.size() % 2 != 0) return false;
    std::vector<unsigned char> bytes(line.size() / 2);
    if (!HexToBytes(line, bytes.data(), bytes.size())) return false;
    signature = std::move(bytes);
    return true;
}

bool IsWellFormedSignatureFile(std::string_view head, bool more, size_t signatureBytes)
{
    auto line = SignatureFirstLine(head, more);
    if (!line) return false;
    std::vector<unsigned char> signature;
    if (!DecodeSignatureLine(*line, signature)) return false;
    return signatureBytes == 0 || signature.size() == signatureBytes;
}

} // namespace zv
