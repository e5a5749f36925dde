// zvtool urls: the addresses the updater requests for a product configuration file,
// with the launcher's host values, so a deployment engineer can lay out a server.
#include "command.h"
#include "launcher_request.h"

#include "updater/config/url_builder.h"
#include "support/fake_machine/fake_machine.h"
#include "updater/expr/machine.h"
#include "updater/expr/os_info.h"

#include <memory>
#include <optional>

namespace {

using zv::tool::FindOs;
using zv::tool::OsChoice;

int RunUrls(const zv::tool::Args& args)
{
    std::wstring productXml, brand = L"quorvane", osCode, bits;
    std::vector<std::pair<std::wstring, std::wstring>> installed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == L"--brand") {
            if (!zv::tool::TakeValue(args, i, brand)) return zv::tool::UsageError("urls", L"--brand needs a value");
        } else if (a == L"--installed") {
            std::wstring pair, name, version;
            if (!zv::tool::TakeValue(args, i, pair) || !zv::tool::SplitNameValue(pair, name, version))
                return zv::tool::UsageError("urls", L"--installed takes NAME=VERSION");
            installed.emplace_back(name, version);
        } else if (a == L"--os") {
            if (!zv::tool::TakeValue(args, i, osCode)) return zv::tool::UsageError("urls", L"--os needs a code");
        } else if (a == L"--bits") {
            if (!zv::tool::TakeValue(args, i, bits) || (bits != L"32" && bits != L"64"))
                return zv::tool::UsageError("urls", L"--bits takes 32 or 64");
        } else if (zv::tool::IsOption(a)) {
            return zv::tool::UsageError("urls", L"unknown option " + a);
        } else if (productXml.empty()) {
            productXml = a;
        } else {
            return zv::tool::UsageError("urls", L"one product configuration file only");
        }
    }
    if (productXml.empty()) return zv::tool::UsageError("urls", L"missing PRODUCT_XML");
    if (osCode.empty() != bits.empty()) return zv::tool::UsageError("urls", L"--os and --bits go together");

    // A chosen OS is answered by an in-memory machine of that kind.
    zv::expr::FakeMachine fake;
    std::optional<zv::expr::ScopedProcessMachine> useFake;
    if (!osCode.empty()) {
        const OsChoice* os = FindOs(osCode);
        if (!os) return zv::tool::UsageError("urls", L"unknown OS code " + osCode + L" (2k xp 2k3 vi 2k8 _w7 8r2 _w8 s12 unk)");
        fake.SetOs(os->major, os->minor, 1000, os->productType, bits == L"64" ? 9 : 0);
        useFake.emplace(fake);
        OSInfo::Reset();
    }
#ifndef _WIN32
    // Natively the default in-memory machine stands for the one the process runs on.
    if (!useFake) useFake.emplace(fake);
#endif

    zv::tool::LauncherRequest request;
    std::wstring error;
    if (!zv::tool::BuildLauncherRequest(productXml, brand, installed, request, error)) {
        zv::tool::Err(L"zvtool urls: " + error + L"\n");
        return 1;
    }
    const std::wstring& payload = request.payload;
    const std::wstring& manifest = request.manifest;
    const std::wstring& qs = request.query;
    CUrlBuilder builder;
    zv::tool::Out(L"payload: " + payload + L"\n");
    zv::tool::Out(L"payload-signature: " + builder.AppendSigSuffix(payload) + L"\n");
    zv::tool::Out(L"manifest: " + manifest + L"\n");
    zv::tool::Out(L"manifest-signature: " + builder.AppendSigSuffix(manifest) + L"\n");
    zv::tool::Out(L"query: " + qs + L"\n");
    zv::tool::Out(L"manifest-request: " + manifest + L"?" + qs + L"\n");
    zv::tool::Out(L"manifest-signature-request: " + builder.AppendSigSuffix(manifest) + L"?" + qs + L"\n");
    return 0;
}

} // namespace

ZVTOOL_COMMAND(urls, "urls", "PRODUCT_XML [--brand B] [--installed NAME=VERSION]... [--os CODE --bits 32|64]",
               "print the payload, manifest and signature paths and the query string the updater requests", RunUrls);
