// zvtool install: check, download and install as the launcher's worker does, printing
// each step's start and result, the download's progress and each installer's result code.
// Ctrl+C cancels the download.
#include "command.h"

#include "framework/handle.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"
#include "updater/core/install_result.h"
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"
#include "updater/transfer/download_events.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr const char* kName = "install";
HANDLE g_cancel = nullptr;

BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    if (g_cancel) ::SetEvent(g_cancel);
    return TRUE;
}

// Prints the percentage of the whole pass each time it moves.
class PercentSink : public ZvLib_IDownloadEvents {
public:
    void OnDownloadGroupBegin(int count, uint32_t totalBytes, int seconds) override
    {
        m_total = totalBytes;
        zv::tool::Out(zv::Format(160, L"download: %d installable(s), %u bytes, about %d s\n", count, totalBytes, seconds));
    }
    void OnItemBegin(int, const ZvLib_CItemProgress& item, uint32_t, uint32_t rangeStart, uint32_t) override
    {
        m_before = m_done;
        zv::tool::Out(zv::Format(600, L"download: %d/%d '%s' from byte %u\n", item.index, item.count, item.name.c_str(), rangeStart));
    }
    void OnItemProgress(int, uint32_t bytesSoFar, uint32_t, double, double) override
    {
        m_done = m_before + bytesSoFar;
        const int percent = m_total ? static_cast<int>(static_cast<uint64_t>(m_done) * 100 / m_total) : 0;
        if (percent != m_percent) zv::tool::Out(zv::Format(40, L"progress: %d%%\n", m_percent = percent));
    }
    void OnItemError(int, const std::wstring& text) override { zv::tool::Out(L"download: error: " + text + L"\n"); }
    void OnItemEnd(int) override { m_before = m_done; }
    void OnDownloadGroupEnd() override {}
    uint32_t GetProgressInterval() override { return 256 * 1024; }

private:
    uint64_t m_total = 0;
    uint64_t m_done = 0;
    uint64_t m_before = 0;
    int m_percent = -1;
};

int Run(const zv::tool::Args& args)
{
    std::wstring productXml, manifest;
    std::vector<std::pair<std::wstring, std::wstring>> installed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        std::wstring value, name, version;
        if (a == L"--installed") {
            if (!zv::tool::TakeValue(args, i, value) || !zv::tool::SplitNameValue(value, name, version))
                return zv::tool::UsageError(kName, L"--installed needs NAME=VERSION");
            installed.emplace_back(name, version);
        } else if (a == L"--trace") {
            wchar_t* end = nullptr;
            if (!zv::tool::TakeValue(args, i, value)) return zv::tool::UsageError(kName, L"--trace needs a level 0..6");
            long level = std::wcstol(value.c_str(), &end, 10);
            if (value.empty() || *end || level < 0 || level > 6) return zv::tool::UsageError(kName, L"--trace takes 0..6");
            zv::Log().SetLevel(static_cast<int>(level));
        } else if (a == L"--manifest") {
            if (!zv::tool::TakeValue(args, i, manifest)) return zv::tool::UsageError(kName, L"--manifest needs a file");
        } else if (zv::tool::IsOption(a)) {
            return zv::tool::UsageError(kName, L"unknown option " + a);
        } else if (productXml.empty()) {
            productXml = a;
        } else {
            return zv::tool::UsageError(kName, L"needs one PRODUCT_XML");
        }
    }
    if (productXml.empty()) return zv::tool::UsageError(kName, L"needs PRODUCT_XML");

    ZvLib_CUpdater updater;
    ZvLib_CRequestGroupInfo* group = nullptr;
    if (!updater.Initialize() || !updater.CreateRequestGroupInfo(&group) || !group) {
        zv::tool::Err(L"zvtool install: the updater could not be created\n");
        return 1;
    }
    CUpdaterImp& imp = *updater.Imp();
    if (!group->config.LoadConfigXml(productXml, L"2.00")) {
        zv::tool::Err(L"zvtool install: cannot load " + productXml + L"\n");
        return 1;
    }
    for (const auto& [name, version] : installed) group->config.installedProducts[name] = version;

    zv::tool::Out(L"check: start\n");
    std::wstring problem;
    // The server check comes with the manifest retrieval; until then a local manifest.
    const int checked = !manifest.empty() && imp.LoadManifest(manifest, group->config, &problem);
    zv::tool::Out(zv::Format(600, L"check: result %d%s%s\n", checked, problem.empty() ? L"" : L" ", problem.c_str()));
    if (!checked) return 1;

    const std::wstring cancelName = zv::Format(128, L"Local\\zvtool.install_cancel_%lu", ::GetCurrentProcessId());
    zv::fw::CHandle cancel(::CreateEventW(nullptr, TRUE, FALSE, cancelName.c_str()));
    imp.cancelEventName = cancelName;
    g_cancel = cancel.Get();
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    zv::tool::Out(L"download: start\n");
    PercentSink sink;
    unsigned userCanceled = 0, connectionError = 0;
    const int downloaded = imp.DownloadInstallables(userCanceled, connectionError, &sink);
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_cancel = nullptr;
    zv::tool::Out(zv::Format(160, L"download: result %d (cancelled %u, connection error %u)\n", downloaded, userCanceled,
                             connectionError));
    if (!downloaded) return userCanceled ? 3 : 1;

    zv::tool::Out(L"install: start\n");
    std::vector<ZvLib_CInstallResult> results;
    const int done = imp.InstallInstallables(&results, nullptr);
    for (const ZvLib_CInstallResult& r : results)
        zv::tool::Out(zv::Format(600, L"install: %d '%s' applied %d succeeded %d result code %d\n", r.index, r.name.c_str(),
                                 r.applied, r.succeeded, r.resultCode));
    zv::tool::Out(zv::Format(40, L"install: result %d\n", done));
    return done ? 0 : 1;
}

} // namespace

ZVTOOL_COMMAND(install, "install", "PRODUCT_XML [--installed NAME=VERSION]... [--trace LEVEL] [--manifest FILE]",
               "check, download and install as the launcher does (Windows); Ctrl+C cancels", Run);
