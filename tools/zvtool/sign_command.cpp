// zvtool sign: writes FILE.sig for each FILE, as the update server publishes them (native build).
#include "command.h"
#include "key_args.h"
#include "openssl_rsa.h"

#include "updater/base/text_helpers.h"

namespace {

int Sign(const zv::tool::Args& args)
{
    zv::tool::KeyArgs parsed;
    if (int usage = zv::tool::ParseKeyArgs("sign", args, parsed)) return usage;
    if (parsed.key.empty() || parsed.files.empty())
        return zv::tool::UsageError("sign", L"--key and at least one FILE are required");

    zv::tool::Signer signer;
    std::wstring error;
    if (!signer.LoadKey(zv::ToUtf8(parsed.key), error)) {
        zv::tool::Err(L"zvtool sign: " + error + L"\n");
        return 1;
    }
    int failures = 0;
    for (const auto& file : parsed.files) {
        std::vector<unsigned char> signature;
        if (!signer.SignFile(zv::ToUtf8(file), signature, error) ||
            !zv::tool::WriteSignatureFile(zv::ToUtf8(file), signature, error)) {
            zv::tool::Err(L"zvtool sign: " + error + L"\n");
            ++failures;
            continue;
        }
        zv::tool::Out(L"signed: " + file + L".sig\n");
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

ZVTOOL_COMMAND(sign, "sign", "--key KEY.pem FILE...", "write FILE.sig: RSA PKCS#1 v1.5 over MD5, hexadecimal in CryptoAPI byte order",
               Sign);
