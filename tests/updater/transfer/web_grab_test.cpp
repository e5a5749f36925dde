// The fetcher's ranged download against real servers on loopback:
// nginx for well-behaved answers, the scripted fault server for the rest, a closed
// port for the connection error.
#include "updater/transfer/web_grab.h"

#include "grab_test_support.h"
#include "updater/transfer/http_grab_file.h"
#include "http_fixture.h"
#include "support/log_capture.h"
#include "support/test_paths.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/transfer_stats.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

namespace {

using zv::test::CancelEvent;
using zv::test::Clock;
using zv::test::FaultContent;
using zv::test::HttpUrl;
using zv::test::RecordingSink;
using zv::test::SecondsSince;
using zv::test::Server;
using zv::test::ServedFile;
using zv::test::SizeReceiver;

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

// A ranged answer is kept only when it holds the bytes asked for, with a length to
// check them by; anything else writes nothing and leaves the partial file as it was.
TEST_F(WebGrab, GetFileKeepsOnlyTheRangeAskedFor)
{
    const uint32_t size = 150000, have = 40000;
    struct Row {
        const wchar_t* query;
        int result;
    };
    const Row rows[] = {
        {L"shift=0", 1},
        {L"shift=0&cl=0", 1},      // the length comes from Content-Range
        {L"shift=-1000", 0},       // starts before the partial file's end
        {L"shift=1000", 0},        // would leave a hole
        {L"shift=0&cr=0", 0},      // no Content-Range to place the bytes by
        {L"shift=0&cr=0&cl=0", 0}, // no usable length at all
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(zv::ToUtf8(row.query));
        std::wstring target = dir.File(L"skewed.part");
        zv::test::WriteFileBytes(target, FaultContent(have));
        priv_CWebGrab grab(1);
        auto r = Get(grab, HttpUrl(Server::fault, zv::Format(128, L"/skewed?len=%u&", size) + row.query), target,
                     size, have, size - 1);
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.cancelled, 0);
        EXPECT_EQ(r.connectionError, 0);
        EXPECT_EQ(grab.status, 206);
        EXPECT_TRUE(zv::test::ReadFileBytes(target) == FaultContent(row.result ? size : have));
        EXPECT_EQ(r.start, have);
        EXPECT_EQ(r.end, row.result ? size : have);
    }
}

// The body goes where the range starts, whatever the partial file holds past it; a
// partial file shorter than the range start is not filled with a hole.
TEST_F(WebGrab, GetFileWritesAtTheRangeStart)
{
    const uint32_t size = 150000, from = 40000;
    std::wstring url = HttpUrl(Server::fault, zv::Format(64, L"/skewed?len=%u", size));
    std::wstring target = dir.File(L"offset.part");

    zv::test::WriteFileBytes(target, FaultContent(from) + std::string(5000, 'x'));
    priv_CWebGrab grab(1);
    auto r = Get(grab, url, target, size, from, size - 1);
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == FaultContent(size));

    zv::test::WriteFileBytes(target, FaultContent(from - 10000));
    priv_CWebGrab again(1);
    r = Get(again, url, target, size, from, size - 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.connectionError, 0);
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == FaultContent(from - 10000));
}

// A whole-file request keeps only a 200: an error page that passed the size query
// (it carried Last-Modified) is not written.
TEST_F(WebGrab, GetFileWholeKeepsOnlyA200)
{
    struct Row {
        const wchar_t* query;
        int result;
    };
    const Row rows[] = {
        {L"status=200&lm=1&cl=1&len=300", 1},
        {L"status=404&lm=1&cl=1&len=300", 0},
        {L"status=203&lm=1&cl=1&len=300", 0},
        {L"status=206&lm=1&cl=1&len=300", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(zv::ToUtf8(row.query));
        std::wstring target = dir.File(L"whole-status.part");
        ::DeleteFileW(target.c_str());
        priv_CWebGrab grab(1);
        auto r = Get(grab, HttpUrl(Server::fault, L"/gen?") + row.query, target, 300, 0, 0);
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.connectionError, 0);
        EXPECT_EQ(grab.status, std::wcstol(row.query + 7, nullptr, 10));
        EXPECT_TRUE(zv::test::ReadFileBytes(target) == (row.result ? FaultContent(300) : std::string()));
    }
}

} // namespace
