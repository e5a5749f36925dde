// The fetcher's size query against real servers on loopback: nginx for well-behaved
// answers, the scripted fault server for the rest.
#include "updater/transfer/web_grab.h"

#include "grab_test_support.h"
#include "updater/transfer/http_grab_file.h"
#include "http_fixture.h"
#include "support/log_capture.h"
#include "support/test_paths.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/transfer_stats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

class SizeQuery : public ::testing::Test {};

// ---- Size query and its acceptance rule ------------------------------------------

TEST_F(SizeQuery, QueryRemoteFileAcceptanceTable)
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

TEST_F(SizeQuery, QueryRemoteFileReportsSizeToReceiver)
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

// The update server answers GET only; the body of the size query is never read, and
// the request asks the server to close so that WinINet does not drain it.
TEST_F(SizeQuery, IsOneGetThatClosesTheConnection)
{
    std::wstring marker = zv::test::UniqueMarker(L"query");
    uint32_t size = 0;
    int connectionError = 0;
    ASSERT_EQ(CheckUrl(HttpUrl(Server::nginx, L"/payload.bin?" + marker), L"", size, connectionError), 1);
    EXPECT_EQ(size, ServedFile(L"payload.bin").size());
    auto lines = zv::test::AccessLogLines(zv::ToUtf8(marker));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("200 GET ", 0), 0u) << lines[0];

    std::string tag = zv::ToUtf8(zv::test::UniqueMarker(L"closing"));
    ASSERT_EQ(CheckUrl(HttpUrl(Server::fault, L"/gen?len=5000&tag=" + zv::FromUtf8(tag)), L"", size,
                       connectionError),
              1);
    auto requests = zv::test::FaultRequestLines(tag);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET ", 0), 0u) << requests[0];
    EXPECT_NE(requests[0].find(" connection=close "), std::string::npos) << requests[0];
}

// The size pass's query asks for byte 0 only, so the server sends one byte instead of the
// file; a server that ignores, refuses or botches the range still gives its length.
TEST_F(SizeQuery, FirstByteQueryTable)
{
    struct Row {
        Server server;
        const wchar_t* path; // the marker follows
        int result;
        uint32_t size;
        std::vector<std::string> ranges; // the Range header of each request, in order
    };
    const uint32_t served = static_cast<uint32_t>(ServedFile(L"payload.bin").size());
    const Row rows[] = {
        {Server::nginx, L"/payload.bin?", 1, served, {"bytes=0-0"}},
        {Server::fault, L"/skewed?len=5000&", 1, 5000, {"bytes=0-0"}},
        {Server::fault, L"/norange?len=5000&", 1, 5000, {"bytes=0-0"}},      // ignores the range
        {Server::fault, L"/nolength?len=1000&", 0, 0, {"bytes=0-0"}},         // no length: as a plain GET
        {Server::fault, L"/skewed?len=5000&cr=0&", 1, 5000, {"bytes=0-0", ""}}, // 206 without Content-Range
        {Server::fault, L"/skewed?len=5000&shift=3&", 1, 5000, {"bytes=0-0", ""}}, // not byte 0
        {Server::fault, L"/skewed?len=5000&total=0&", 1, 5000, {"bytes=0-0", ""}}, // length "*"
        {Server::fault, L"/range-error?len=5000&", 1, 5000, {"bytes=0-0", ""}}, // 503 to a ranged request
        {Server::fault, L"/gen?status=404&lm=0&", 0, 0, {"bytes=0-0", ""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(zv::ToUtf8(row.path));
        std::wstring marker = zv::test::UniqueMarker(L"firstbyte");
        uint32_t size = 1;
        int connectionError = -1;
        EXPECT_EQ(CheckUrl(HttpUrl(row.server, std::wstring(row.path) + (row.server == Server::fault ? L"tag=" : L"") + marker), L"", size,
                           connectionError, true),
                  row.result);
        EXPECT_EQ(size, row.size);
        EXPECT_EQ(connectionError, 0);
        std::vector<std::string> ranges;
        if (row.server == Server::nginx) {
            auto lines = zv::test::AccessLogLines(zv::ToUtf8(marker));
            for (const std::string& line : lines) {
                EXPECT_EQ(line.rfind("206 GET ", 0), 0u) << line;
                // One body byte on the wire, not the file.
                EXPECT_NE(line.find(" body=1"), std::string::npos) << line;
                size_t at = line.find(" range=");
                ranges.push_back(at == std::string::npos ? "?" : line.substr(at + 7, line.find(' ', at + 1) - at - 7));
            }
        } else {
            for (const std::string& line : zv::test::FaultRequestLines(zv::ToUtf8(marker))) {
                EXPECT_EQ(line.rfind("GET ", 0), 0u) << line;
                EXPECT_NE(line.find(" connection=close "), std::string::npos) << line;
                size_t at = line.find(" range=");
                ranges.push_back(at == std::string::npos ? "?" : line.substr(at + 7));
            }
        }
        EXPECT_EQ(ranges, row.ranges);
    }
}

TEST_F(SizeQuery, WorksWhereHeadIsRefused)
{
    std::string tag = zv::ToUtf8(zv::test::UniqueMarker(L"nohead"));
    uint32_t size = 0;
    int connectionError = 0;
    EXPECT_EQ(CheckUrl(HttpUrl(Server::fault, L"/nohead?len=5000&tag=" + zv::FromUtf8(tag)), L"", size,
                       connectionError),
              1);
    EXPECT_EQ(size, 5000u);
    EXPECT_EQ(connectionError, 0);
    auto requests = zv::test::FaultRequestLines(tag);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET ", 0), 0u) << requests[0];
}

// A body that is never read does not hold the query up, however slowly it comes.
TEST_F(SizeQuery, DoesNotWaitForTheBody)
{
    uint32_t size = 0;
    int connectionError = 0;
    auto start = Clock::now();
    EXPECT_EQ(CheckUrl(HttpUrl(Server::fault, L"/trickle?len=2000000&chunk=512&delay=20"), L"", size, connectionError),
              1);
    EXPECT_EQ(size, 2000000u);
    EXPECT_LT(SecondsSince(start), 10.0);
}

TEST_F(SizeQuery, AbsurdContentLengthFailsTheQuery)
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

TEST_F(SizeQuery, ServerThatNeverAnswersTimesOutAsConnectionError)
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

} // namespace
