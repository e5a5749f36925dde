// zvtool publish: lays out the update server's tree where the launcher asks for it,
// with every file signed. Everything is staged first and moved into place only when the
// manifest loads, selects something for some OS row and names only the given payloads
// inside the server's tree; a refused manifest leaves the output folder untouched.
#include "command.h"
#include "launcher_request.h"
#include "openssl_rsa.h"

#include "support/fake_machine/fake_machine.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"
#include "updater/core/item_installable.h"
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"
#include "updater/expr/machine.h"
#include "updater/expr/os_info.h"

#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kName = "publish";

struct Options {
    std::wstring productXml, manifest, key, out, brand = L"quorvane";
    std::vector<std::wstring> payloads;
};

int Parse(const zv::tool::Args& args, Options& o)
{
    std::vector<std::wstring> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == L"--key" || a == L"--out" || a == L"--brand") {
            std::wstring value;
            if (!zv::tool::TakeValue(args, i, value)) return zv::tool::UsageError(kName, a + L" needs a value");
            (a == L"--key" ? o.key : a == L"--out" ? o.out : o.brand) = value;
        } else if (zv::tool::IsOption(a)) {
            return zv::tool::UsageError(kName, L"unknown option '" + a + L"'");
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() < 3) return zv::tool::UsageError(kName, L"PRODUCT_XML, MANIFEST and at least one PAYLOAD are required");
    if (o.key.empty() || o.out.empty()) return zv::tool::UsageError(kName, L"--key and --out are required");
    o.productXml = positional[0];
    o.manifest = positional[1];
    o.payloads.assign(positional.begin() + 2, positional.end());
    return 0;
}

std::wstring Lower(std::wstring text)
{
    for (auto& c : text) c = zv::ToLowerAscii(c);
    return text;
}

// "http://host:port/a/b" → origin "http://host:port", path "a/b"; false without a host.
bool SplitUrl(const std::wstring& url, std::wstring& origin, std::wstring& path)
{
    size_t scheme = url.find(L"://");
    if (scheme == std::wstring::npos) return false;
    size_t slash = url.find(L'/', scheme + 3);
    if (slash == std::wstring::npos || slash == scheme + 3) return false;
    origin = Lower(url.substr(0, slash));
    path = url.substr(slash + 1);
    return true;
}

// A path inside the tree: no query, fragment, backslash, empty, "." or ".." segment.
bool IsTreePath(const std::wstring& path)
{
    if (path.empty() || path.find_first_of(L"?#\\:") != std::wstring::npos) return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'/', start);
        if (end == std::wstring::npos) end = path.size();
        std::wstring segment = path.substr(start, end - start);
        if (segment.empty() || segment == L"." || segment == L"..") return false;
        start = end + 1;
    }
    return true;
}

struct Plan {
    std::set<std::wstring> manifestPaths;         // tree paths of the manifest copies
    std::map<std::wstring, std::wstring> payloads; // tree path → source file
    int rowsSelecting = 0, rows = 0;
};

int Refuse(const std::wstring& message)
{
    zv::tool::Err(L"zvtool publish: refused: " + message + L"; nothing written\n");
    return 1;
}

// Runs the launcher's request and selection for every OS row; fills the plan or refuses.
int MakePlan(const Options& o, Plan& plan)
{
    std::map<std::wstring, std::wstring> byName; // lower-case file name → payload file
    for (const auto& p : o.payloads) {
        if (!fs::is_regular_file(fs::path(zv::ToUtf8(p)))) return Refuse(L"payload " + p + L" is not a readable file");
        std::wstring name = Lower(zv::FromUtf8(fs::path(zv::ToUtf8(p)).filename().string()));
        if (!byName.emplace(name, p).second) return Refuse(L"two payloads are named " + name);
    }
    std::wstring origin;
    for (const auto& os : zv::tool::OsChoices()) {
        for (int architecture : {0, 9}) {
            zv::expr::FakeMachine fake;
            fake.SetOs(os.major, os.minor, 1000, os.productType, architecture);
            zv::expr::ScopedProcessMachine useFake(fake);
            OSInfo::Reset();
            const std::wstring row = std::wstring(os.name) + (architecture ? L" 64" : L" 32");

            zv::tool::LauncherRequest request;
            std::wstring error, path;
            if (!zv::tool::BuildLauncherRequest(o.productXml, o.brand, {}, request, error)) return Refuse(error);
            std::wstring rowOrigin;
            if (!SplitUrl(request.manifest, rowOrigin, path) || !IsTreePath(path))
                return Refuse(L"the product configuration gives no usable server address: " + request.manifest);
            if (origin.empty()) origin = rowOrigin;
            plan.manifestPaths.insert(path);

            ZvLib_CUpdater updater(fake);
            updater.Initialize();
            ZvLib_CRequestGroupInfo* group = nullptr;
            if (!updater.Imp() || !updater.CreateRequestGroupInfo(&group)) return Refuse(L"the updater could not be created");
            group->config.language = L"ENU";
            group->config.productAbbr = L"zvtool";
            group->config.productName = L"publish";
            std::wstring problem;
            if (!updater.Imp()->LoadManifest(o.manifest, group->config, &problem))
                return Refuse(L"manifest " + o.manifest + L" does not load: " + problem);
            std::vector<ZvLib_CItemBase*> selected;
            updater.Imp()->GetListOfSelectedInstallables(selected);
            ++plan.rows;
            if (!selected.empty()) ++plan.rowsSelecting;
            for (ZvLib_CItemBase* item : selected) {
                auto* app = dynamic_cast<ZvLib_CItemInstallableApp*>(item);
                if (!app) continue;
                const std::wstring url(app->url);
                std::wstring itemOrigin, itemPath;
                if (!SplitUrl(url, itemOrigin, itemPath) || itemOrigin != origin || !IsTreePath(itemPath))
                    return Refuse(L"item " + std::to_wstring(app->manifestId) + L" (" + row + L") has URL " + url +
                                  L", outside the server tree " + origin + L"/");
                std::wstring name = Lower(itemPath.substr(itemPath.rfind(L'/') + 1));
                auto found = byName.find(name);
                if (found == byName.end())
                    return Refuse(L"item " + std::to_wstring(app->manifestId) + L" (" + row + L") wants " + url +
                                  L", but no payload named " + name + L" was given");
                plan.payloads[itemPath] = found->second;
            }
        }
    }
    if (plan.rowsSelecting == 0) return Refuse(L"manifest " + o.manifest + L" selects nothing for any OS row");
    for (const auto& [name, file] : byName) {
        bool used = false;
        for (const auto& [path, source] : plan.payloads) used = used || source == file;
        if (!used) return Refuse(L"payload " + file + L" is named by no selectable item of the manifest");
    }
    return 0;
}

// Copies and signs one file into the staging folder.
bool Stage(zv::tool::Signer& signer, const fs::path& staging, const std::wstring& treePath, const std::wstring& source,
           std::wstring& error)
{
    fs::path target = staging / fs::path(zv::ToUtf8(treePath));
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec || !fs::copy_file(fs::path(zv::ToUtf8(source)), target, fs::copy_options::overwrite_existing, ec) || ec) {
        error = L"cannot copy " + source + L" to " + zv::FromUtf8(target.string());
        return false;
    }
    std::vector<unsigned char> signature;
    return signer.SignFile(target.string(), signature, error) && zv::tool::WriteSignatureFile(target.string(), signature, error);
}

int Run(const zv::tool::Args& args)
{
    Options o;
    if (int usage = Parse(args, o)) return usage;
    Plan plan;
    if (int refused = MakePlan(o, plan)) return refused;

    zv::tool::Signer signer;
    std::wstring error;
    if (!signer.LoadKey(zv::ToUtf8(o.key), error)) return Refuse(error);

    fs::path out = fs::absolute(fs::path(zv::ToUtf8(o.out)));
    std::error_code ec;
    fs::create_directories(out.parent_path(), ec);
    fs::path staging = out.parent_path() / (".zvpublish-" + std::to_string(getpid()));
    fs::remove_all(staging, ec);
    struct Cleanup {
        fs::path p;
        ~Cleanup() { std::error_code e; fs::remove_all(p, e); }
    } cleanup{staging};

    for (const auto& path : plan.manifestPaths)
        if (!Stage(signer, staging, path, o.manifest, error)) return Refuse(error);
    for (const auto& [path, source] : plan.payloads)
        if (!Stage(signer, staging, path, source, error)) return Refuse(error);

    // Everything is ready: move it into place.
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(staging))
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), staging));
    for (const auto& rel : files) {
        fs::create_directories((out / rel).parent_path(), ec);
        fs::rename(staging / rel, out / rel, ec);
        if (ec) {
            zv::tool::Err(L"zvtool publish: cannot move " + zv::FromUtf8(rel.string()) + L" into " + o.out + L"\n");
            return 1;
        }
        zv::tool::Out(L"published: " + zv::FromUtf8(rel.generic_string()) + L"\n");
    }
    zv::tool::Out(L"rows selecting: " + std::to_wstring(plan.rowsSelecting) + L" of " + std::to_wstring(plan.rows) + L"\n");
    return 0;
}

} // namespace

ZVTOOL_COMMAND(publish, kName, "PRODUCT_XML MANIFEST PAYLOAD... --key KEY.pem --out DIR [--brand B]",
               "lay out and sign the update server's tree where the launcher asks; refuses, writing nothing, a manifest "
               "that does not load, selects nothing for every OS row or names URLs outside the tree or not given",
               Run);
