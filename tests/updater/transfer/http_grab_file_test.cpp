// The fetcher's entry points, CheckUrl and the whole-file download, against real
// servers on loopback.
#include "updater/transfer/http_grab_file.h"

#include "updater/transfer/file_replace.h"
#include "updater/transfer/web_grab.h"
#include "grab_test_support.h"
#include "http_fixture.h"
#include "support/log_capture.h"
#include "support/test_paths.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/transfer_stats.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <sstream>

namespace {

// How the downloader's lines show a thread id: "(%d)(0x%x)", decimal then hexadecimal.
std::wstring ThreadTag(unsigned long id)
{
    std::wostringstream hex;
    hex << std::hex << id;
    return L"(" + std::to_wstring(id) + L")(0x" + hex.str() + L")";
}

using zv::test::CancelEvent;
using zv::test::Clock;
using zv::test::FaultContent;
using zv::test::HttpUrl;
using zv::test::RecordingSink;
using zv::test::SecondsSince;
using zv::test::Server;
using zv::test::ServedFile;
using zv::test::SizeReceiver;

class HttpGrab : public ::testing::Test {
protected:
    zv::test::ScratchDir dir{L"http-grab"};
};

// ---- CheckUrl ------------------------------------------------------------------------

TEST_F(HttpGrab, CheckUrlTable)
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

TEST_F(HttpGrab, CheckUrlLogsEntryAndVerdict)
{
    zv::test::LogLines log(2);
    std::wstring url = HttpUrl(Server::nginx, L"/small.txt");
    uint32_t size = 0;
    int connectionError = 0;
    ASSERT_EQ(CheckUrl(url, L"", size, connectionError), 1);
    std::wstring tid = ThreadTag(zv::DownloaderThreadId());
    auto lines = log.All();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"[Info1] ZV: ---> Downloader " + tid + L": Checking url: '" + url + L"'");
    EXPECT_EQ(lines[1], L"[Info1] ZV: ---< Downloader " + tid + L":  HTTP status code: 200, size (bytes): 17, File-exists result:1");
}

// ---- Whole-file download -----------------------------------------------------------

TEST_F(HttpGrab, HttpGrabFileStoresWholeBodyAndCreatesFolders)
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

TEST_F(HttpGrab, HttpGrabFileReplacesHiddenReadOnlyFile)
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

TEST_F(HttpGrab, HttpGrabFileFaultTable)
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
        // Answers that pass the size query but are not the file.
        {Server::fault, L"/gen?status=404&lm=1&cl=1&len=100", 0, 0, false, ""},
        {Server::fault, L"/gen?status=203&lm=1&cl=1&len=100", 0, 0, false, ""},
        {Server::fault, L"/gen?status=206&lm=1&cl=1&len=100", 0, 0, false, ""},
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

TEST_F(HttpGrab, HttpGrabFileRefusesBodyTooLargeToHold)
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

TEST_F(HttpGrab, HttpGrabFileLogsRequestAndOutcome)
{
    zv::test::LogLines log(2);
    std::wstring target = dir.File(L"logged.txt");
    std::wstring url = HttpUrl(Server::nginx, L"/small.txt");
    int cancelled = 0, connectionError = 0;
    ASSERT_EQ(HttpGrabFile(nullptr, 0, url, target, L"", 1, cancelled, connectionError, nullptr, nullptr, nullptr), 1);
    std::wstring tid = ThreadTag(zv::DownloaderThreadId());
    auto lines = log.All();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"[Info1] ZV: ---> Downloader " + tid + L":   Getting url: '" + url + L"'\n");
    EXPECT_EQ(lines[1], L"[Info1] ZV: ---- Downloader " + tid + L":   To local file: '" + target + L"'\n");
    EXPECT_EQ(lines[2], L"[Info1] ZV: ---< Downloader " + tid + L":  HTTP status code: 200, size (bytes): 17, download result:1");
}

TEST_F(HttpGrab, HttpGrabFileCancelHonouredOnlyWithNotifyFlag)
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

// Each use has its own cap: a signature file is a few KiB; the payload's announced
// size is refused before any of it is read.
TEST_F(HttpGrab, SignatureCapRefusesALargeBody)
{
    zv::test::LogLines log(1);
    zv::WholeFileLimits limits;
    limits.maxBytes = zv::kMaxSignatureFileBytes;
    int cancelled = -1, connectionError = -1;
    std::wstring sig = dir.File(L"payload.bin.sig");
    EXPECT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::nginx, L"/payload.bin.sig"), sig, L"", 1, cancelled,
                           connectionError, nullptr, nullptr, nullptr, limits),
              1);
    EXPECT_TRUE(zv::test::ReadFileBytes(sig) == ServedFile(L"payload.bin.sig"));

    std::wstring target = dir.File(L"not-a-signature.bin");
    EXPECT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::nginx, L"/payload.bin"), target, L"", 1, cancelled,
                           connectionError, nullptr, nullptr, nullptr, limits),
              0);
    EXPECT_EQ(connectionError, 0);
    EXPECT_FALSE(zv::test::FileExists(target));
    EXPECT_EQ(log.With(zv::Format(128, L"HttpGrabFile: cannot hold %u bytes",
                                  static_cast<unsigned>(ServedFile(L"payload.bin").size())))
                  .size(),
              1u);
}

TEST_F(HttpGrab, DefaultCapIsAManifestsSize)
{
    zv::test::LogLines log(1);
    std::wstring target = dir.File(L"big.bin");
    int cancelled = -1, connectionError = -1;
    uint32_t announced = zv::kMaxManifestBytes + 1;
    EXPECT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::fault, zv::Format(64, L"/absurd?cl=%u", announced)), target,
                           L"", 1, cancelled, connectionError, nullptr, nullptr, nullptr),
              0);
    EXPECT_FALSE(zv::test::FileExists(target));
    EXPECT_EQ(log.With(zv::Format(128, L"HttpGrabFile: cannot hold %u bytes", announced)).size(), 1u);
}

// A server that trickles is given up once the body falls below the rate floor after
// the grace period, as a connection error; the old file stays.
TEST_F(HttpGrab, TricklingServerIsGivenUp)
{
    std::wstring target = dir.File(L"trickle.bin");
    zv::test::WriteFileBytes(target, "old");
    zv::WholeFileLimits limits;
    limits.graceMs = 1000;
    limits.minBytesPerSecond = 8192;
    int cancelled = -1, connectionError = -1;
    auto start = Clock::now();
    EXPECT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::fault, L"/trickle?len=400000&chunk=100&delay=50"), target, L"",
                           0, cancelled, connectionError, nullptr, nullptr, nullptr, limits),
              0);
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(connectionError, 1);
    EXPECT_EQ(zv::test::ReadFileBytes(target), "old");
}

// The host's cancel event (auto-reset, as the host creates it) stops a whole-file
// download even without the notify flag.
TEST_F(HttpGrab, HostCancelEventStopsWholeFileDownload)
{
    CancelEvent cancel(zv::test::UniqueMarker(L"Local\\zvtest-host-cancel"), false);
    std::wstring target = dir.File(L"host-cancel.bin");
    zv::test::WriteFileBytes(target, "old");
    zv::WholeFileLimits limits;
    limits.cancelEventName = cancel.Name();
    cancel.SignalAfter(500);
    int cancelled = -1, connectionError = -1;
    auto start = Clock::now();
    EXPECT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::fault, L"/trickle?len=2000000&chunk=512&delay=20"), target,
                           L"", 0, cancelled, connectionError, nullptr, nullptr, nullptr, limits),
              0);
    EXPECT_LT(SecondsSince(start), 10.0); // the whole body would take 80 s
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(connectionError, 0);
    EXPECT_EQ(zv::test::ReadFileBytes(target), "old");
}

// The new content replaces the old file in one rename: when it cannot take the old
// file's place, the old file is left whole and no temporary file stays behind.
TEST_F(HttpGrab, FailedReplacementKeepsTheOldFile)
{
    std::wstring target = dir.File(L"held.txt");
    zv::test::WriteFileBytes(target, "old content");
    // Open for reading and writing by others, but not for deletion or renaming.
    zv::fw::CHandle held(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    int cancelled = -1, connectionError = -1;
    EXPECT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::nginx, L"/small.txt"), target, L"", 1, cancelled,
                           connectionError, nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(connectionError, 0);
    held.Reset();
    EXPECT_EQ(zv::test::ReadFileBytes(target), "old content");
    EXPECT_FALSE(zv::test::FileExists(zv::ReplacementPathOf(target)));
}

// A temporary file left by a crash is written over, and none remains afterwards.
TEST_F(HttpGrab, LeftoverTemporaryFileIsReplaced)
{
    std::wstring target = dir.File(L"leftover.txt");
    zv::test::WriteFileBytes(zv::ReplacementPathOf(target), "half of something from a crash");
    int cancelled = -1, connectionError = -1;
    ASSERT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::nginx, L"/small.txt"), target, L"", 1, cancelled,
                           connectionError, nullptr, nullptr, nullptr),
              1);
    EXPECT_EQ(zv::test::ReadFileBytes(target), "hello from nginx\n");
    EXPECT_FALSE(zv::test::FileExists(zv::ReplacementPathOf(target)));
}

// The size query is a GET whose answer is the file: the download reads that answer
// instead of asking a second time.
TEST_F(HttpGrab, WholeFileIsReadFromTheSizeQuerysAnswer)
{
    std::string tag = zv::ToUtf8(zv::test::UniqueMarker(L"one-request"));
    std::wstring target = dir.File(L"one-request.bin");
    int cancelled = -1, connectionError = -1;
    ASSERT_EQ(HttpGrabFile(nullptr, 0, HttpUrl(Server::fault, L"/gen?len=5000&tag=" + zv::FromUtf8(tag)), target, L"",
                           1, cancelled, connectionError, nullptr, nullptr, nullptr),
              1);
    EXPECT_TRUE(zv::test::ReadFileBytes(target) == FaultContent(5000));
    auto requests = zv::test::FaultRequestLines(tag);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET ", 0), 0u) << requests[0];
}

} // namespace
