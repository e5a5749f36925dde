// zvtool install: the launcher's check, download and install steps run for real against
// the server of a product configuration file, printing each step's start and result,
// the download's progress and each installer's result code. Ctrl+C cancels.
#include "command.h"
#include "product_check.h"
#include "selection_lines.h"

#include "framework/handle.h"
#include "updater/base/text_helpers.h"
#include "updater/core/install_result.h"
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"
#include "updater/transfer/download_events.h"

#include <windows.h>

#include <atomic>
#include <utility>
#include <vector>

namespace {

constexpr const char* kName = "install";

// What Ctrl+C signals: the host's cancel event (check and download), and the install's
// while an installer runs.
std::atomic<HANDLE> g_cancel{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    if (HANDLE event = g_cancel.load()) ::SetEvent(event);
    zv::tool::Err(L"zvtool install: cancelling\n");
    return TRUE;
}

// Points Ctrl+C at one event for the life of a step.
class CancelScope {
public:
    explicit CancelScope(HANDLE event) { g_cancel.store(event); }
    ~CancelScope() { g_cancel.store(nullptr); }
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;
};

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
        // The resumable download and its read loop both announce the item.
        if (item.index == m_item) return;
        m_item = item.index;
        zv::tool::Out(zv::Format(600, L"download: %d/%d '%s' from byte %u\n", item.index, item.count, item.name.c_str(), rangeStart));
    }
    void OnItemProgress(int, uint32_t bytesSoFar, uint32_t, double, double) override
    {
        m_done = m_before + bytesSoFar;
        const int percent = m_total ? static_cast<int>(m_done * 100 / m_total) : 0;
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
    int m_item = 0;
};

// A manual-reset event of that name, not signalled: a stale signal from an earlier
// run must not cancel this one.
zv::fw::CHandle FreshEvent(const wchar_t* name)
{
    zv::fw::CHandle event(::CreateEventW(nullptr, TRUE, FALSE, name));
    if (event) ::ResetEvent(event.Get());
    return event;
}

// The check step as the launcher's worker runs it. 1 when the manifest loaded.
int Check(ZvLib_CUpdater& updater, const zv::tool::ProductCheckOptions& o, HANDLE cancel)
{
    ZvLib_CRequestGroupInfo* group = zv::tool::PrepareCheckGroup(updater, o);
    if (!group) return 0;

    zv::tool::Out(L"check: start\n");
    zv::tool::Out(L"check: manifest " + updater.Imp()->ManifestUrl(group->id) + L"\n");
    CancelScope scope(cancel);
    const int loaded = updater.CheckForInstallables2(1, 0, group->id);
    zv::tool::Out(zv::Format(40, L"check: result %d\n", loaded));
    if (loaded) zv::tool::Out(zv::tool::SelectionLines(*updater.Imp()));
    return loaded;
}

// 0 when every step succeeded, 1 when one failed, 3 when the user cancelled.
int Steps(const zv::tool::ProductCheckOptions& o)
{
    ZvLib_CUpdater updater(ZvLib_CUpdater::ServerAddressOf(o.productXml));
    const std::wstring cancelName = zv::Format(128, L"Local\\zvtool.install_cancel_%lu", ::GetCurrentProcessId());
    zv::fw::CHandle cancel = FreshEvent(cancelName.c_str());
    if (!updater.Initialize() || !cancel) {
        zv::tool::Err(L"zvtool install: the updater could not be initialised (is TEMP set?)\n");
        return 1;
    }
    updater.SetCancelEventName(cancelName);

    if (!Check(updater, o, cancel.Get())) return ::WaitForSingleObject(cancel.Get(), 0) == WAIT_OBJECT_0 ? 3 : 1;

    zv::tool::Out(L"download: start\n");
    PercentSink sink;
    unsigned userCanceled = 0, connectionError = 0;
    int downloaded = 0;
    {
        CancelScope scope(cancel.Get());
        downloaded = updater.DownloadInstallables(userCanceled, connectionError, &sink);
    }
    zv::tool::Out(zv::Format(160, L"download: result %d (cancelled %u, connection error %u)\n", downloaded, userCanceled,
                             connectionError));
    if (!downloaded) return userCanceled ? 3 : 1;

    zv::tool::Out(L"install: start\n");
    zv::fw::CHandle installCancel = FreshEvent(kInstallCancelEventName);
    std::vector<ZvLib_CInstallResult> results;
    int done = 0;
    {
        CancelScope scope(installCancel.Get());
        done = updater.InstallInstallables(&results, nullptr);
    }
    for (const ZvLib_CInstallResult& r : results)
        zv::tool::Out(zv::Format(600, L"install: %d '%s' applied %d succeeded %d result code %d\n", r.index, r.name.c_str(),
                                 r.applied, r.succeeded, r.resultCode));
    zv::tool::Out(zv::Format(40, L"install: result %d\n", done));
    if (done) return 0;
    return installCancel && ::WaitForSingleObject(installCancel.Get(), 0) == WAIT_OBJECT_0 ? 3 : 1;
}

int Run(const zv::tool::Args& args)
{
    zv::tool::ProductCheckOptions o;
    if (int usage = zv::tool::ParseProductCheckArgs(kName, args, o)) return usage;
    zv::tool::TraceToStderr(o.trace);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    const int code = Steps(o);
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    zv::tool::StopTrace();
    return code;
}

} // namespace

ZVTOOL_COMMAND(install, kName, "PRODUCT_XML [--installed NAME=VERSION]... [--trace LEVEL]",
               "check, download and install as the launcher does (Windows): prints 'check:', 'download:', "
               "'progress: N%' and 'install:' lines; exit 0 installed, 1 failed, 2 usage, 3 cancelled (Ctrl+C)",
               Run);
