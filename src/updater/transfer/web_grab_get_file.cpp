// priv_CWebGrab::GetFile: a payload, or the rest of one, into its partial file at the
// position the answer's bytes belong to.
#include "framework/file.h"
#include "updater/base/clock.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/answer_check.h"
#include "updater/transfer/body_store.h"
#include "updater/transfer/transfer_stats.h"
#include "updater/transfer/web_grab_transfer.h"

namespace {

void LogFileFailure(const std::wstring& text)
{
    zv::Log().Log(zv::ZVLOG_INFO2, L"---- WARNING: CException caught.  May be an OK runtime condition.\n");
    zv::Log().Log(zv::ZVLOG_INFO2, L"---- e r r o r text: '%s'\n", text.c_str());
}

// What WinINet has buffered at once is taken as served from the browser cache.
void LogCacheProbe(HINTERNET request, uint32_t expected, int id, ZvLib_IDownloadEvents* sink)
{
    DWORD cached = 0;
    if (!::InternetQueryDataAvailable(request, &cached, 0, 0)) cached = 0;
    if (!cached) {
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib ---- Downloader-cacher: File not found in the IE cache.\n");
        return;
    }
    zv::Log().Log(zv::ZVLOG_INFO2,
                L"ZvLib ---- Downloader-cacher: Partially (or fully) downloaded file found in the IE cache. Cached "
                L"size [bytes]: %u, [KB]: %u, [MB]: %u.  Full size [bytes]: %u, [KB]: %u, [MB]: %u\n",
                static_cast<unsigned>(cached), static_cast<unsigned>(cached >> 10),
                static_cast<unsigned>(cached >> 20), expected, expected >> 10, expected >> 20);
    if (sink) sink->OnItemProgress(id, cached, expected, 0, 0);
}

zv::BodyPlan PlanFromAnswer(HINTERNET request, uint32_t rangeStart, uint32_t rangeEnd, uint32_t expected)
{
    zv::RangeAnswer answer;
    answer.status = zv::inet::QueryStatus(request);
    uint32_t length = 0;
    if (zv::inet::QueryContentLength(request, length) == zv::inet::Length::valid) answer.contentLength = length;
    std::wstring contentRange;
    zv::inet::QueryText(request, HTTP_QUERY_CONTENT_RANGE, contentRange);
    answer.contentRange = contentRange;
    return zv::PlanBody(zv::RangeRequest{rangeStart, rangeEnd, expected}, answer);
}

// Logs a plan that keeps nothing. True when the body is still to be read.
bool LogPlan(const zv::BodyPlan& plan, int status, bool ranged, uint32_t rangeStart, const std::wstring& targetPath)
{
    switch (plan.action) {
    case zv::BodyAction::keep:
        return true;
    case zv::BodyAction::restart:
        // The whole file again: appending it would corrupt the partial file.
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ---- Downloader-cacher: server ignored the range (status 200); '%s' "
                                 L"starts again from the first byte.\n", targetPath.c_str());
        return true;
    case zv::BodyAction::nothingLeft:
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ---- Downloader-cacher: nothing left to fetch for '%s'.\n",
                    targetPath.c_str());
        return false;
    case zv::BodyAction::refuse:
        break;
    }
    if (ranged && status >= 400)
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR Downloader-cacher: ranged request answered %d; '%s' is "
                                 L"kept for a later attempt.\n", status, targetPath.c_str());
    else
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR Downloader-cacher: answer %d to a request from byte %u is not "
                                 L"the bytes asked for (%s); '%s' is kept for a later attempt.\n", status, rangeStart,
                    plan.reason, targetPath.c_str());
    return false;
}

// Puts the write position where the body's first byte belongs: the partial file must
// hold exactly the bytes before it; anything after it is stale and cut off.
bool PositionTarget(zv::fw::CFile& target, zv::FileStore& store, const zv::BodyPlan& plan, std::wstring& problem)
{
    if (plan.action == zv::BodyAction::restart) {
        store.Restart();
        return true;
    }
    uint64_t length = target.GetLength();
    if (length < plan.offset) {
        problem = zv::Format(256, L"partial file holds %llu bytes, fewer than the range start %u",
                             static_cast<unsigned long long>(length), plan.offset);
        return false;
    }
    if (length > plan.offset) target.SetLength(plan.offset);
    target.Seek(plan.offset, zv::fw::CFile::begin);
    return true;
}

} // namespace

// Opens the target without truncating it and runs the transfer into it at the
// planned position.
int priv_CWebGrab::RunIntoFile(Transfer& transfer, const std::wstring& targetPath, bool restart)
{
    zv::fw::CFile target;
    zv::fw::CFileException error;
    if (!target.Open(targetPath, zv::fw::CFile::modeWrite | zv::fw::CFile::modeCreate | zv::fw::CFile::modeNoTruncate |
                                     zv::fw::CFile::shareDenyWrite | zv::fw::CFile::typeBinary,
                     &error)) {
        errorText = zv::inet::ErrorText(static_cast<DWORD>(error.m_lOsError));
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR: GetFile: cannot open target file '%s': '%s'\n",
                    targetPath.c_str(), errorText.c_str());
        return 0;
    }
    zv::FileStore store(target);
    zv::BodyPlan plan;
    plan.action = restart ? zv::BodyAction::restart : zv::BodyAction::keep;
    plan.offset = transfer.base;
    int result = 0;
    try {
        std::wstring problem;
        if (PositionTarget(target, store, plan, problem)) {
            transfer.store = &store;
            result = RunReadLoop(transfer);
        } else {
            errorText = problem;
            zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR Downloader-cacher: %s; '%s' is kept for a later attempt.\n",
                        problem.c_str(), targetPath.c_str());
        }
    } catch (const zv::fw::CFileException& e) {
        errorText = zv::inet::ErrorText(static_cast<DWORD>(e.m_lOsError));
        LogFileFailure(errorText);
        result = 0;
    }
    target.Close();
    return result;
}

int priv_CWebGrab::GetFile(const std::wstring& url, const ZvLib_CDownloadRequest& dlRequest,
                           const std::wstring& targetPath, uint32_t rangeStart, uint32_t rangeEnd,
                           uint32_t& downloadedStart, uint32_t& downloadedEnd, int& cancelled, int& connectionError,
                           ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats,
                           const std::wstring& cancelEventName)
{
    cancelled = 0;
    connectionError = 0;
    headers.clear();
    status = 0;
    if (!session && !OpenSession(dlRequest.agentName)) return 0;

    const bool ranged = !(rangeStart == 0 && rangeEnd == 0);
    std::wstring extra;
    if (ranged) {
        extra = zv::Format(128, L"Range: bytes=%u-%u\r\n", rangeStart, rangeEnd);
        downloadedStart = rangeStart;
        downloadedEnd = rangeStart;
    }

    Request request;
    int64_t sent = zv::PerformanceCounterMicros();
    if (!OpenBody(request, url, extra, connectionError)) {
        zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---- WARNING: ++++++ CException caught: CInternetException, while opening "
                                 L"URL (CHttpFile).  Possibly is a connection error.  Likely is an OK runtime "
                                 L"condition.\n");
        zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---- ++++++ e r r o r text: '%s'\n", errorText.c_str());
        return 0;
    }

    const uint32_t expected = dlRequest.expectedSize;
    LogCacheProbe(request.Get(), expected, id, sink);
    if (stats) {
        stats->Reset(0);
        zv::Log().Log(zv::ZVLOG_DEBU1, L"==== priv_CWebGrab::GetFile: Beginning QPC %I64d\n",
                    static_cast<long long>(stats->startCount));
    }

    // What the server made of the request decides whether and where the body goes.
    zv::BodyPlan plan = PlanFromAnswer(request.Get(), rangeStart, rangeEnd, expected);
    status = zv::inet::QueryStatus(request.Get());
    if (!LogPlan(plan, status, ranged, rangeStart, targetPath)) return plan.action == zv::BodyAction::nothingLeft;
    const bool restart = plan.action == zv::BodyAction::restart;
    downloadedStart = plan.offset;
    downloadedEnd = plan.offset;

    Transfer transfer;
    transfer.request = &request;
    transfer.base = plan.offset;
    transfer.bound = plan.end;
    transfer.sink = sink;
    transfer.item = item;
    transfer.stats = stats;
    transfer.cancelEventName = cancelEventName;
    transfer.rangeStart = rangeStart;
    transfer.rangeEnd = rangeEnd;
    transfer.sentMicros = sent;
    int result = RunIntoFile(transfer, targetPath, restart);
    downloadedEnd = plan.offset + transfer.received;
    if (transfer.cancelled) cancelled = 1;
    if (transfer.connectionError) connectionError = 1;
    return result;
}
