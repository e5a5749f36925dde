// zvtool verify: is FILE accepted with this public key? The Windows build asks the
// product's own check (CryptoAPI), the native build an independent one (OpenSSL).
#include "command.h"
#include "key_args.h"

#include "updater/base/text_helpers.h"

#ifdef _WIN32
#include "updater/transfer/signature_auth.h"
#else
#include "openssl_rsa.h"
#endif

namespace {

int Verify(const zv::tool::Args& args)
{
    zv::tool::KeyArgs parsed;
    if (int usage = zv::tool::ParseKeyArgs("verify", args, parsed)) return usage;
    const std::vector<std::wstring>& files = parsed.files;
    if (parsed.key.empty() || files.empty() || files.size() > 2)
        return zv::tool::UsageError("verify", L"--key, FILE and at most one SIGFILE are required");
    const std::wstring& file = files[0];
    std::wstring sigFile = files.size() == 2 ? files[1] : file + L".sig";

#ifdef _WIN32
    PubKeyResource key;
    key.keyFilePath = parsed.key;
    zv::AuthStatus status = zv::CheckFileSignature(file, sigFile, &key);
#else
    zv::AuthStatus status = zv::tool::VerifyFileWithOpenSsl(zv::ToUtf8(parsed.key), zv::ToUtf8(file), zv::ToUtf8(sigFile));
#endif
    if (status == zv::AuthStatus::kVerified) {
        zv::tool::Out(L"verified: " + file + L"\n");
        return 0;
    }
    zv::tool::Out(L"NOT verified: " + file + L": " + zv::AuthStatusText(status) + L"\n");
    return 1;
}

} // namespace

ZVTOOL_COMMAND(verify, "verify", "--key quorkey.pub FILE [SIGFILE]",
               "check FILE against SIGFILE (default FILE.sig); exit 0 when verified, 1 when not", Verify);
