// Feeds arbitrary bytes to the readers of downloaded and installed signature material:
// as the head of a signature file, and as a public-key blob. A decoded signature must
// print back as its line (upper-cased); a key that reads must build back into the blob.
#include "updater/transfer/pubkey_blob.h"
#include "updater/transfer/signature_text.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string_view head = bytes.substr(0, zv::kSignatureHeadBytes);
    auto line = zv::SignatureFirstLine(head, bytes.size() > head.size());
    if (line) {
        if (line->size() > zv::kMaxSignatureDigits || line->find('\n') != std::string_view::npos) std::abort();
        std::vector<unsigned char> signature;
        if (zv::DecodeSignatureLine(*line, signature)) {
            std::string upper(*line);
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (signature.empty() || zv::BytesToHex(signature.data(), signature.size()) != upper) std::abort();
        } else if (!signature.empty()) {
            std::abort();
        }
    }

    auto key = zv::ParsePublicKeyBlob(data, size);
    if (key) {
        if (key->modulus.size() != key->bits / 8 || size > zv::kMaxPublicKeyBlobSize) std::abort();
        std::vector<unsigned char> blob = zv::BuildPublicKeyBlob(*key);
        // Build always writes CALG_RSA_SIGN and a zero reserved word; the rest must match.
        std::vector<unsigned char> expected(data, data + size);
        expected[2] = expected[3] = 0;
        expected[4] = 0x00;
        expected[5] = 0x24;
        if (blob != expected) std::abort();
    }
    return 0;
}
