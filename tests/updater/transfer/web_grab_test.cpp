// The fetcher against real servers on loopback: nginx for well-behaved answers, the
// scripted fault server for the rest, a closed port for the connection error.
#include "updater/transfer/web_grab.h"

#include "framework/handle.h"
#include "http_fixture.h"
#include "support/log_capture.h"
#include "support/test_paths.h"
#include "updater/transfer/payload_cache.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/transfer_stats.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <thread>

namespace {

using zv::test::FaultContent;
using zv::test::HttpUrl;
using zv::test::Server;
using zv::test::ServedFile;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class SizeReceiver : public IPayloadCache {
public:
    void SetRemoteFileSize(uint32_t size) override
    {
        received = size;
        ++calls;
    }
    uint32_t received = 0;
    int calls = 0;
};

// Records what a download tells its sink.
class RecordingSink : public ZvLib_IDownloadEvents {
public:
    void OnDownloadGroupBegin(int, uint32_t, int) override { ++groupCalls; }
    void OnItemBegin(int id, const ZvLib_CItemProgress& item, uint32_t expected, uint32_t start, uint32_t end) override
    {
        ++begins;
        beginId = id;
        beginName = item.name;
        beginExpected = expected;
        beginRange[0] = start;
        beginRange[1] = end;
    }
    void OnItemProgress(int, uint32_t bytes, uint32_t, double, double) override
    {
        if (bytes < lastProgress) progressWentBack = true;
        lastProgress = bytes;
        ++progressCalls;
    }
    void OnItemError(int, const std::wstring& text) override
    {
        ++errors;
        errorText = text;
    }
    void OnItemEnd(int) override { ++ends; }
    void OnDownloadGroupEnd() override { ++groupCalls; }
    uint32_t GetProgressInterval() override { return interval; }

    uint32_t interval = 1;
    int begins = 0, ends = 0, errors = 0, progressCalls = 0, groupCalls = 0, beginId = -1;
    std::wstring beginName, errorText;
    uint32_t beginExpected = 0, lastProgress = 0, beginRange[2] = {0, 0};
    bool progressWentBack = false;
};

// An event of the test's own, signalled now or from another thread later.
class CancelEvent {
public:
    explicit CancelEvent(const std::wstring& name, bool manualReset = true)
        : m_name(name), m_event(::CreateEventW(nullptr, manualReset, FALSE, name.c_str()))
    {
    }
    const std::wstring& Name() const { return m_name; }
    void Signal() { ::SetEvent(m_event.Get()); }
    void SignalAfter(int ms)
    {
        m_thread = std::thread([this, ms] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            Signal();
        });
    }
    ~CancelEvent()
    {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::wstring m_name;
    zv::fw::CHandle m_event;
    std::thread m_thread;
};

struct GetFileResult {
    int result = -1;
    int cancelled = -1;
    int connectionError = -1;
    uint32_t start = 0xFFFFFFFF, end = 0xFFFFFFFF;
};

class WebGrab : public ::testing::Test {
protected:
    GetFileResult Get(priv_CWebGrab& grab, const std::wstring& url, const std::wstring& target, uint32_t expected,
                      uint32_t from, uint32_t to, const std::wstring& cancelName = L"",
                      ZvLib_IDownloadEvents* sink = nullptr, ZvLib_CTransferStats* stats = nullptr)
    {
        ZvLib_CDownloadRequest request;
        request.payloadUrl = url;
        request.payloadPath = target;
        request.expectedSize = expected;
        GetFileResult r;
        r.result = grab.GetFile(url, request, target, from, to, r.start, r.end, r.cancelled, r.connectionError, sink,
                                nullptr, stats, cancelName);
        return r;
    }

    zv::test::ScratchDir dir{L"web-grab"};
};

// ---- Size query and its acceptance rule ------------------------------------------

TEST_F(WebGrab, QueryRemoteFileAcceptanceTable)
{
    struct Row {
        const wchar_t* query;
        int result;
        uint32_t size;
        int statusOut; // what the out status holds afterwards
        bool lastModified;
    };
    const Row rows[] = {
        {L"status=200&lm=1&cl=1&len=100", 1, 100, 0, true},
        {L"status=200&lm=0&cl=1&len=100", 1, 100, 200, false},
        {L"status=200&lm=1&cl=0&len=100", 1, 0, 200, true},
        {L"status=200&lm=0&cl=0&len=100", 1, 0, 200, false},
        {L"status=404&lm=0&cl=1&len=100", 0, 0, 404, false},
        {L"status=404&lm=1&cl=1&len=100", 1, 100, 0, true},
        {L"status=404&lm=1&cl=0&len=100", 0, 0, 404, true},
        {L"status=500&lm=0&cl=0&len=10", 0, 0, 500, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(zv::ToUtf8(row.query));
        priv_CWebGrab grab(7);
        SizeReceiver receiver;
        std::wstring lastModified = L"stale";
        uint32_t size = 12345;
        int statusOut = -1, connectionError = -1;
        int result = grab.QueryRemoteFile(HttpUrl(Server::fault, L"/gen?") + row.query, lastModified, size, statusOut,
                                          connectionError, L"", &receiver);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(size, row.size);
        EXPECT_EQ(statusOut, row.statusOut);
        EXPECT_EQ(connectionError, 0);
        EXPECT_EQ(!lastModified.empty(), row.lastModified) << zv::ToUtf8(lastModified);
        if (row.lastModified) {
            EXPECT_EQ(lastModified, L"Tue, 14 Nov 2023 22:13:20 GMT");
        }
        EXPECT_EQ(grab.status, std::wcstol(row.query + 7, nullptr, 10));
        EXPECT_TRUE(grab.headers.empty());
    }
}

TEST_F(WebGrab, QueryRemoteFileReportsSizeToReceiver)
{
    priv_CWebGrab grab(0);
    SizeReceiver receiver;
    std::wstring lastModified;
    uint32_t size = 0;
    int statusOut = 0, connectionError = 0;
    ASSERT_EQ(grab.QueryRemoteFile(HttpUrl(Server::nginx, L"/payload.bin"), lastModified, size, statusOut,
                                   connectionError, L"", &receiver),
              1);
    EXPECT_EQ(size, ServedFile(L"payload.bin").size());
    EXPECT_EQ(receiver.received, size);
    EXPECT_EQ(receiver.calls, 1);
    EXPECT_EQ(grab.status, 200);
    EXPECT_FALSE(lastModified.empty());
}

TEST_F(WebGrab, SizeQueryAsksForHeadersOnly)
{
    std::wstring marker = zv::test::UniqueMarker(L"query");
    uint32_t size = 0;
    int connectionError = 0;
    ASSERT_EQ(CheckUrl(HttpUrl(Server::nginx, L"/payload.bin?" + marker), L"", size, connectionError), 1);
    auto lines = zv::test::AccessLogLines(zv::ToUtf8(marker));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("200 HEAD ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" body=0"), std::string::npos) << lines[0];
}

TEST_F(WebGrab, SizeQueryFallsBackToGetWhenHeadRefused)
{
    uint32_t size = 0;
    int connectionError = 0;
    EXPECT_EQ(CheckUrl(HttpUrl(Server::fault, L"/nohead?len=5000"), L"", size, connectionError), 1);
    EXPECT_EQ(size, 5000u);
    EXPECT_EQ(connectionError, 0);
}

TEST_F(WebGrab, AbsurdContentLengthFailsTheQuery)
{
    zv::test::LogLines log(1);
    priv_CWebGrab grab(0);
    std::wstring lastModified;
    uint32_t size = 1;
    int statusOut = 0, connectionError = 0;
    EXPECT_EQ(grab.QueryRemoteFile(HttpUrl(Server::fault, L"/absurd"), lastModified, size, statusOut, connectionError, L""),
              0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(connectionError, 0);
    EXPECT_EQ(log.With(L"unusable Content-Length").size(), 1u);
}

TEST_F(WebGrab, ServerThatNeverAnswersTimesOutAsConnectionError)
{
    priv_CWebGrab grab(0);
    grab.receiveTimeout = 1500;
    std::wstring lastModified;
    uint32_t size = 0;
    int statusOut = 0, connectionError = 0;
    auto start = Clock::now();
    EXPECT_EQ(grab.QueryRemoteFile(HttpUrl(Server::fault, L"/hang"), lastModified, size, statusOut, connectionError, L""),
              0);
    EXPECT_EQ(connectionError, 1);
    EXPECT_LT(SecondsSince(start), 30.0);
    EXPECT_FALSE(grab.errorText.empty());
}

// ---- CheckUrl ------------------------------------------------------------------------

TEST_F(WebGrab, CheckUrlTable)
{
    struct Row {
        Server server;
        const wchar_t* path;
        int result;
        uint32_t size;
        int connectionError;
    };
    const Row rows[] = {
        {Server::nginx, L"/small.txt", 1, 17, 0},
        {Server::nginx, L"/no-such-file.bin", 0, 0, 0}, // 404 without Last-Modified
        {Server::nginx, L"/empty.bin", 0, 0, 0},        // a size of 0 is not a file to fetch
        {Server::fault, L"/nolength?len=50", 0, 0, 0},
        {Server::fault, L"/gen?status=404&lm=0&cl=1&len=9", 0, 0, 0},
        {Server::closed, L"/small.txt", 0, 0, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(zv::ToUtf8(row.path));
        uint32_t size = 999;
        int connectionError = -1;
        EXPECT_EQ(CheckUrl(HttpUrl(row.server, row.path), L"", size, connectionError), row.result);
        EXPECT_EQ(size, row.size);
        EXPECT_EQ(connectionError, row.connectionError);
    }
}

TEST_F(WebGrab, CheckUrlLogsEntryAndVerdict)
{
    zv::test::LogLines log(2);
    std::wstring url = HttpUrl(Server::nginx, L"/small.txt");
    uint32_t size = 0;
    int connectionError = 0;
    ASSERT_EQ(CheckUrl(url, L"", size, connectionError), 1);
    unsigned long tid = DownloaderThreadId();
    auto lines = log.All();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], zv::Format(1024, L"[Info1] ZV: ---> Downloader (%d)(0x%x): Checking url: '%s'",
                                   static_cast<int>(tid), static_cast<unsigned>(tid), url.c_str()));
    EXPECT_EQ(lines[1], zv::Format(1024, L"[Info1] ZV: ---< Downloader (%d)(0x%x):  HTTP status code: 200, size "
                                         L"(bytes): 17, File-exists result:1",
                                   static_cast<int>(tid), static_cast<unsigned>(tid)));
}

// ---- Whole-file download -----------------------------------------------------------

TEST_F(WebGrab, HttpGrabFileStoresWholeBodyAndCreatesFolders)
{
    std::wstring target = dir.File(L"a\\b\\payload.bin");
    ZvLib_CTransferStats stats;
    int cancelled = -1, connectionError = -1;
    ASSERT_EQ(HttpGrabFile(nullptr, 3, HttpUrl(Server::nginx, L"/payload.bin"), target, L"", 1, cancelled,
                           connectionError, nullptr, nullptr, &stats),
              1);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(connectionError, 0);
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == ServedFile(L"payload.bin"));
    EXPECT_EQ(stats.totalBytes, ServedFile(L"payload.bin").size());
    EXPECT_GT(stats.sampleCount, 0);
}

TEST_F(WebGrab, HttpGrabFileReplacesHiddenReadOnlyFile)
{
    std::wstring target = dir.File(L"small.txt");
    zv::test::WriteFileBytes(target, "old content that is longer than the new one");
    ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    int cancelled = 0, connectionError = 0;
    ASSERT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::nginx, L"/small.txt"), target, L"", 1, cancelled,
                           connectionError, nullptr, nullptr, nullptr),
              1);
    EXPECT_EQ(zv::test::ReadFileBytes(target), "hello from nginx\n");
}

TEST_F(WebGrab, HttpGrabFileFaultTable)
{
    struct Row {
        Server server;
        const wchar_t* path;
        int result;
        int connectionError;
        bool written;         // the target holds `content` afterwards; else the old file stays
        std::string content;
    };
    const std::string old = "previous file";
    const Row rows[] = {
        {Server::fault, L"/nolength?len=300", 1, 0, true, ""},
        {Server::fault, L"/longer?len=1000&extra=700", 1, 0, true, FaultContent(1000)},
        {Server::fault, L"/reset?len=200000&after=50000", 0, 1, false, ""},
        {Server::fault, L"/short?len=200000&after=50000", 0, 1, false, ""},
        {Server::fault, L"/absurd", 0, 0, false, ""},
        {Server::nginx, L"/no-such-file.bin", 0, 0, false, ""},
        {Server::closed, L"/small.txt", 0, 1, false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(zv::ToUtf8(row.path));
        std::wstring target = dir.File(L"fault.bin");
        zv::test::WriteFileBytes(target, old);
        int cancelled = -1, connectionError = -1;
        EXPECT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(row.server, row.path), target, L"", 1, cancelled, connectionError,
                               nullptr, nullptr, nullptr),
                  row.result);
        EXPECT_EQ(cancelled, 0);
        EXPECT_EQ(connectionError, row.connectionError);
        EXPECT_TRUE(zv::test::ReadFileBytes(target) == (row.written ? row.content : old));
    }
}

TEST_F(WebGrab, HttpGrabFileRefusesBodyTooLargeToHold)
{
    zv::test::LogLines log(1);
    std::wstring target = dir.File(L"huge.bin");
    int cancelled = -1, connectionError = -1;
    EXPECT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::fault, L"/absurd?cl=3000000000"), target, L"", 1, cancelled,
                           connectionError, nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(connectionError, 0);
    EXPECT_FALSE(zv::test::FileExists(target));
    EXPECT_EQ(log.With(L"HttpGrabFile: cannot hold 3000000000 bytes").size(), 1u);
}

TEST_F(WebGrab, HttpGrabFileLogsRequestAndOutcome)
{
    zv::test::LogLines log(2);
    std::wstring target = dir.File(L"logged.txt");
    std::wstring url = HttpUrl(Server::nginx, L"/small.txt");
    int cancelled = 0, connectionError = 0;
    ASSERT_EQ(HttpGrabFile(nullptr, 0, url, target, L"", 1, cancelled, connectionError, nullptr, nullptr, nullptr), 1);
    unsigned long tid = DownloaderThreadId();
    int t = static_cast<int>(tid);
    unsigned x = static_cast<unsigned>(tid);
    auto lines = log.All();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], zv::Format(1024, L"[Info1] ZV: ---> Downloader (%d)(0x%x):   Getting url: '%s'\n", t, x, url.c_str()));
    EXPECT_EQ(lines[1], zv::Format(1024, L"[Info1] ZV: ---- Downloader (%d)(0x%x):   To local file: '%s'\n", t, x,
                                   target.c_str()));
    EXPECT_EQ(lines[2], zv::Format(1024, L"[Info1] ZV: ---< Downloader (%d)(0x%x):  HTTP status code: 200, size (bytes): "
                                         L"17, download result:1", t, x));
}

TEST_F(WebGrab, HttpGrabFileCancelHonouredOnlyWithNotifyFlag)
{
    CancelEvent cancel(kWorkCancelEventName);
    cancel.Signal();
    std::wstring target = dir.File(L"cancel.bin");
    RecordingSink sink;
    int cancelled = -1, connectionError = -1;
    EXPECT_EQ(HttpGrabFile(nullptr, 5, HttpUrl(Server::nginx, L"/payload.bin"), target, L"", 0, cancelled,
                           connectionError, &sink, nullptr, nullptr),
              1);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(sink.begins, 0); // no notifications without the flag
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == ServedFile(L"payload.bin"));

    std::wstring second = dir.File(L"cancel2.bin");
    EXPECT_EQ(HttpGrabFile(nullptr, 5, HttpUrl(Server::nginx, L"/payload.bin"), second, L"", 1, cancelled,
                           connectionError, &sink, nullptr, nullptr),
              0);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(connectionError, 0);
    EXPECT_EQ(sink.begins, 1);
    EXPECT_EQ(sink.beginName, L"item");
    EXPECT_EQ(sink.beginId, 5);
    EXPECT_EQ(sink.ends, 0);
    EXPECT_FALSE(zv::test::FileExists(second)); // nothing that looks complete
}

// ---- Ranged download into a partial file --------------------------------------------

TEST_F(WebGrab, GetFileWholeSendsNoRangeHeader)
{
    std::string payload = ServedFile(L"payload.bin");
    std::wstring marker = zv::test::UniqueMarker(L"whole");
    std::wstring target = dir.File(L"whole.part");
    priv_CWebGrab grab(1);
    auto r = Get(grab, HttpUrl(Server::nginx, L"/payload.bin?" + marker), target, static_cast<uint32_t>(payload.size()), 0, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.cancelled, 0);
    EXPECT_EQ(r.end, payload.size());
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == payload);
    EXPECT_EQ(grab.status, 200);
    EXPECT_NE(grab.headers.find(L"Content-Length: "), std::wstring::npos);
    auto lines = zv::test::AccessLogLines(zv::ToUtf8(marker));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("200 GET"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("range=-"), std::string::npos) << lines[0];
}

TEST_F(WebGrab, GetFileAppendsRequestedRange)
{
    std::string payload = ServedFile(L"payload.bin");
    uint32_t size = static_cast<uint32_t>(payload.size());
    const uint32_t have = 300001;
    std::wstring target = dir.File(L"ranged.part");
    zv::test::WriteFileBytes(target, payload.substr(0, have));
    std::wstring marker = zv::test::UniqueMarker(L"ranged");
    ZvLib_CTransferStats stats;
    priv_CWebGrab grab(1);
    auto r = Get(grab, HttpUrl(Server::nginx, L"/payload.bin?" + marker), target, size, have, size - 1, L"", nullptr,
                 &stats);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.start, have);
    EXPECT_EQ(r.end, size);
    EXPECT_EQ(grab.status, 206);
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == payload);
    auto lines = zv::test::AccessLogLines(zv::ToUtf8(marker));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(zv::ToUtf8(zv::Format(128, L"206 GET /payload.bin?%s range=bytes=%u-%u ", marker.c_str(),
                                                  have, size - 1))),
              std::string::npos)
        << lines[0];
}

TEST_F(WebGrab, GetFileOnCompletePartialStoresNothingAndSucceeds)
{
    std::string payload = ServedFile(L"payload.bin");
    uint32_t size = static_cast<uint32_t>(payload.size());
    std::wstring target = dir.File(L"complete.part");
    zv::test::WriteFileBytes(target, payload);
    priv_CWebGrab grab(1);
    auto r = Get(grab, HttpUrl(Server::nginx, L"/payload.bin"), target, size, size, size - 1);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.cancelled, 0);
    EXPECT_EQ(r.connectionError, 0);
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == payload);
}

TEST_F(WebGrab, GetFileRestartsWhenServerIgnoresRange)
{
    const uint32_t size = 150000, have = 40000;
    std::wstring target = dir.File(L"norange.part");
    zv::test::WriteFileBytes(target, FaultContent(have));
    zv::test::LogLines log(3);
    priv_CWebGrab grab(1);
    auto r = Get(grab, HttpUrl(Server::fault, zv::Format(64, L"/norange?len=%u", size)), target, size, have, size - 1);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.start, 0u);
    EXPECT_EQ(r.end, size);
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == FaultContent(size));
    EXPECT_EQ(log.With(L"server ignored the range").size(), 1u);
}

TEST_F(WebGrab, GetFileKeepsPartialWhenRangedRequestIsRefused)
{
    const uint32_t size = 150000, have = 40000;
    std::wstring target = dir.File(L"refused.part");
    zv::test::WriteFileBytes(target, FaultContent(have));
    priv_CWebGrab grab(1);
    auto r = Get(grab, HttpUrl(Server::fault, zv::Format(64, L"/range-error?len=%u", size)), target, size, have,
                 size - 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.cancelled, 0);
    EXPECT_EQ(r.connectionError, 0);
    EXPECT_EQ(grab.status, 503);
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == FaultContent(have));
}

TEST_F(WebGrab, GetFileNeverWritesPastAnnouncedLength)
{
    std::wstring target = dir.File(L"longer.part");
    priv_CWebGrab grab(1);
    auto r = Get(grab, HttpUrl(Server::fault, L"/longer?len=5000&extra=3000"), target, 5000, 0, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.end, 5000u);
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == FaultContent(5000));
}

TEST_F(WebGrab, GetFileConnectionFaultsKeepReceivedBytes)
{
    struct Row {
        const wchar_t* path;
        uint32_t size;
    };
    const Row rows[] = {
        {L"/reset?len=400000&after=100000", 400000},
        {L"/short?len=400000&after=100000", 400000},
        {L"/stall?len=400000&after=100000", 400000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(zv::ToUtf8(row.path));
        std::wstring target = dir.File(L"fault.part");
        ::DeleteFileW(target.c_str());
        RecordingSink sink;
        priv_CWebGrab grab(1);
        grab.receiveTimeout = 1500;
        auto start = Clock::now();
        auto r = Get(grab, HttpUrl(Server::fault, row.path), target, row.size, 0, 0, L"", &sink);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.cancelled, 0);
        EXPECT_EQ(r.connectionError, 1);
        EXPECT_LT(SecondsSince(start), 30.0);
        EXPECT_EQ(sink.errors, 1);
        EXPECT_FALSE(sink.errorText.empty());
        EXPECT_EQ(sink.ends, 0);
        std::string got = zv::test::ReadFileBytes(target);
        EXPECT_LE(got.size(), 100000u);
        EXPECT_TRUE(got == FaultContent(got.size()));
        EXPECT_EQ(r.end, got.size());
    }
}

TEST_F(WebGrab, GetFileUnreachableIsConnectionError)
{
    zv::test::LogLines log(2);
    std::wstring target = dir.File(L"closed.part");
    priv_CWebGrab grab(1);
    auto r = Get(grab, HttpUrl(Server::closed, L"/payload.bin"), target, 100, 0, 0);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.cancelled, 0);
    EXPECT_EQ(r.connectionError, 1);
    EXPECT_FALSE(zv::test::FileExists(target));
    auto warn = log.With(L"CInternetException, while opening URL");
    ASSERT_EQ(warn.size(), 1u);
    EXPECT_EQ(warn[0], L"[Info1] ZV: ZvLib: ---- WARNING: ++++++ CException caught: CInternetException, while opening "
                       L"URL (CHttpFile).  Possibly is a connection error.  Likely is an OK runtime condition.\n");
    EXPECT_EQ(log.With(L"ZvLib: ---- ++++++ e r r o r text: '").size(), 1u);
}

TEST_F(WebGrab, GetFileCancelKeepsBytesAlreadyWritten)
{
    std::string payload = ServedFile(L"payload.bin");
    CancelEvent cancel(zv::test::UniqueMarker(L"Local\\zvtest-cancel"));
    cancel.Signal();
    std::wstring target = dir.File(L"cancelled.part");
    RecordingSink sink;
    priv_CWebGrab grab(1);
    auto r = Get(grab, HttpUrl(Server::nginx, L"/payload.bin"), target, static_cast<uint32_t>(payload.size()), 0, 0,
                 cancel.Name(), &sink);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.cancelled, 1);
    EXPECT_EQ(r.connectionError, 0);
    EXPECT_EQ(sink.ends, 0);
    std::string got = zv::test::ReadFileBytes(target);
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), payload.size());
    EXPECT_TRUE(got == payload.substr(0, got.size()));
}

TEST_F(WebGrab, GetFileNoticesCancelQuicklyOnSlowLink)
{
    // 512 bytes every 20 ms: the whole body would take over a minute.
    CancelEvent cancel(zv::test::UniqueMarker(L"Local\\zvtest-cancel"));
    std::wstring target = dir.File(L"trickle.part");
    priv_CWebGrab grab(1);
    cancel.SignalAfter(700);
    auto start = Clock::now();
    auto r = Get(grab, HttpUrl(Server::fault, L"/trickle?len=2000000&chunk=512&delay=20"), target, 2000000, 0, 0,
                 cancel.Name());
    double seconds = SecondsSince(start);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.cancelled, 1);
    EXPECT_LT(seconds, 3.0);
    std::string got = zv::test::ReadFileBytes(target);
    EXPECT_GT(got.size(), 0u);
    EXPECT_TRUE(got == FaultContent(got.size()));
}

// Only a request that may read the browser cache leaves an entry in it.
TEST_F(WebGrab, BrowserCacheFilledOnlyWhenItMayBeRead)
{
    std::string payload = ServedFile(L"payload.bin");
    uint32_t size = static_cast<uint32_t>(payload.size());
    for (int ignore : {1, 0}) {
        SCOPED_TRACE(ignore);
        // A fresh address each run: the cache outlives the test process.
        std::wstring url = HttpUrl(Server::nginx, zv::Format(128, L"/payload.bin?cache-probe=%u-%d",
                                                             static_cast<unsigned>(::GetTickCount()), ignore));
        std::wstring target = dir.File(zv::Format(64, L"cache-probe-%d.part", ignore));
        priv_CWebGrab grab(0);
        grab.ignoreBrowserCache = ignore;
        ASSERT_EQ(Get(grab, url, target, size, 0, 0).result, 1);
        EXPECT_TRUE(zv::test::ReadFileBytes(target) == payload);
        DWORD bytes = 0;
        ::GetUrlCacheEntryInfoW(url.c_str(), nullptr, &bytes);
        DWORD error = ::GetLastError();
        EXPECT_EQ(error, ignore ? static_cast<DWORD>(ERROR_FILE_NOT_FOUND) : static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    }
}

TEST_F(WebGrab, GetFileTellsSinkAndLogsCacheProbe)
{
    std::string payload = ServedFile(L"payload.bin");
    uint32_t size = static_cast<uint32_t>(payload.size());
    std::wstring target = dir.File(L"sink.part");
    RecordingSink sink;
    sink.interval = 256 * 1024;
    ZvLib_CTransferStats stats;
    zv::test::LogLines log(4);
    priv_CWebGrab grab(9);
    auto r = Get(grab, HttpUrl(Server::nginx, L"/payload.bin"), target, size, 0, 0, L"", &sink, &stats);
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(sink.begins, 1);
    EXPECT_EQ(sink.beginId, 9);
    EXPECT_EQ(sink.beginName, L"item");
    EXPECT_EQ(sink.beginExpected, size);
    EXPECT_EQ(sink.ends, 1);
    EXPECT_EQ(sink.errors, 0);
    EXPECT_FALSE(sink.progressWentBack);
    // At most one notification per interval, plus one from the cache probe.
    EXPECT_GE(sink.progressCalls, 1);
    EXPECT_LE(sink.lastProgress, size);
    EXPECT_LE(sink.progressCalls, static_cast<int>(size / sink.interval) + 2);
    EXPECT_EQ(log.With(L"in the IE cache").size(), 1u);
    EXPECT_EQ(log.With(L"==== priv_CWebGrab::GetFile: Beginning QPC ").size(), 1u);
    EXPECT_GT(stats.sampleCount, 0);
}

} // namespace
