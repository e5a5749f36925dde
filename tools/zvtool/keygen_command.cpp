// zvtool keygen: a new signing key pair for a deployment (native build).
#include "command.h"
#include "openssl_rsa.h"

#include "updater/transfer/pubkey_blob.h"
#include "updater/base/text_helpers.h"

namespace {

int Keygen(const zv::tool::Args& args)
{
    std::wstring privatePath, publicPath;
    int bits = 2048;
    bool force = false;
    std::wstring bitsText;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if ((a == L"--private" && zv::tool::TakeValue(args, i, privatePath)) ||
            (a == L"--public" && zv::tool::TakeValue(args, i, publicPath)))
            continue;
        if (a == L"--bits" && zv::tool::TakeValue(args, i, bitsText)) {
            bool digits = !bitsText.empty() && bitsText.size() <= 5 &&
                          bitsText.find_first_not_of(L"0123456789") == std::wstring::npos;
            bits = digits ? std::stoi(bitsText) : 0;
            if (bits < 1024 || bits > static_cast<int>(zv::kMaxRsaBits) || bits % 8 != 0)
                return zv::tool::UsageError("keygen", L"--bits takes a multiple of 8 from 1024 to 16384");
        } else if (a == L"--force") {
            force = true;
        } else {
            return zv::tool::UsageError("keygen", L"unexpected argument '" + a + L"'");
        }
    }
    if (privatePath.empty() || publicPath.empty()) return zv::tool::UsageError("keygen", L"--private and --public are required");

    std::wstring error;
    if (!zv::tool::GenerateKeyPair(bits, zv::ToUtf8(privatePath), zv::ToUtf8(publicPath), force, error)) {
        zv::tool::Err(L"zvtool keygen: " + error + L"\n");
        return 1;
    }
    zv::tool::Out(L"RSA " + std::to_wstring(bits) + L"-bit key pair: private key " + privatePath + L", public key blob " +
                publicPath + L"\n");
    return 0;
}

} // namespace

ZVTOOL_COMMAND(keygen, "keygen", "--private KEY.pem --public quorkey.pub [--bits N] [--force]",
               "create an RSA signing key pair (PEM private key, CryptoAPI public-key blob)", Keygen);
