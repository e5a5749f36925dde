// The download cache, its decisions and its state table, against nginx on loopback.
#include "updater/transfer/payload_cache.h"

#include "cache_fixture.h"
#include "framework/handle.h"
#include "support/log_capture.h"
#include "updater/transfer/web_grab.h"

namespace {

using zv::test::FileExists;
using zv::test::HttpUrl;
using zv::test::ReadFileBytes;
using zv::test::Server;
using zv::test::ServedFile;
using zv::test::WriteFileBytes;

using zv::test::Cache;
using zv::test::kOtherSig;
using zv::test::kSig;

// ---- The decisions ------------------------------------------------------------------

TEST_F(Cache, IsSignatureUnchangedTable)
{
    struct Row {
        std::optional<std::string> s, sPart;
        int expected;
    };
    const Row rows[] = {
        {kSig, kSig, 1},
        {kSig, kOtherSig, 0},
        {kSig, kSig.substr(0, 10), 0},
        {std::string(), std::string(), 0}, // equal but empty
        {kSig, std::nullopt, 0},
        {std::nullopt, kSig, 0},
    };
    for (const auto& row : rows) {
        Arrange(row.s, row.sPart, std::nullopt, std::nullopt);
        CPayloadCache cache(P(), S(), L".part", L"http://x/");
        EXPECT_EQ(cache.IsSignatureUnchanged(), row.expected) << (row.s ? *row.s : "-") << " / "
                                                              << (row.sPart ? *row.sPart : "-");
        EXPECT_EQ(cache.IsCacheUsable(), row.expected);
        cache.Disable();
        EXPECT_EQ(cache.IsCacheUsable(), 0);
    }
}

TEST_F(Cache, IsPayloadCompleteTable)
{
    struct Row {
        const char* what;
        std::optional<std::string> s, sPart, pPart, p;
        int expected;
    };
    const std::string whole(100, 'x');
    const Row rows[] = {
        {"complete", kSig, kSig, std::nullopt, whole, 1},
        {"length differs", kSig, kSig, std::nullopt, whole + "y", 0},
        {"partial present", kSig, kSig, std::string("xx"), whole, 0},
        {"no S.part", kSig, std::nullopt, std::nullopt, whole, 0},
        {"no S", std::nullopt, kSig, std::nullopt, whole, 0},
        {"no P", kSig, kSig, std::nullopt, std::nullopt, 0},
    };
    for (const auto& row : rows) {
        Arrange(row.s, row.sPart, row.pPart, row.p);
        CPayloadCache cache(P(), S(), L".part", L"http://x/");
        cache.SetRemoteFileSize(100);
        EXPECT_EQ(cache.IsPayloadComplete(100), row.expected) << row.what;
        cache.Disable();
        EXPECT_EQ(cache.IsPayloadComplete(100), 0) << row.what;
    }
}

TEST_F(Cache, CheckResumableAndRange)
{
    struct Row {
        const char* what;
        std::optional<std::string> s, sPart, pPart, p;
        int expected;
    };
    const Row rows[] = {
        {"partial, no complete payload", kSig, kSig, std::string(40, 'a'), std::nullopt, 1},
        {"partial and an older payload", kSig, kSig, std::string(40, 'a'), std::string(100, 'o'), 1},
        {"empty partial", kSig, kSig, std::string(), std::nullopt, 1},
        {"signature changed", kSig, kOtherSig, std::string(40, 'a'), std::nullopt, 0},
        {"no partial", kSig, kSig, std::nullopt, std::string(100, 'o'), 0},
        {"no fingerprint", kSig, std::nullopt, std::string(40, 'a'), std::nullopt, 0},
        {"partial longer than remote", kSig, kSig, std::string(101, 'a'), std::nullopt, 0},
    };
    for (const auto& row : rows) {
        Arrange(row.s, row.sPart, row.pPart, row.p);
        CPayloadCache cache(P(), S(), L".part", L"http://x/");
        cache.SetRemoteFileSize(100);
        EXPECT_EQ(cache.CheckResumable(), row.expected) << row.what;
        EXPECT_EQ(cache.resumable, row.expected) << row.what;
        if (row.expected) {
            auto range = cache.GetResumeRange();
            EXPECT_EQ(range.first, row.pPart->size()) << row.what;
            EXPECT_EQ(range.second, 99u) << row.what;
        }
    }
}

TEST_F(Cache, ResetCacheFingerprintsEmptyPartial)
{
    Arrange(kOtherSig, kSig, std::string(40, 'a'), std::string(100, 'o'));
    ::SetFileAttributesW(Part(P()).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    CPayloadCache cache(P(), S(), L".part", L"http://x/");
    cache.resumable = 1;
    cache.ResetCache();
    EXPECT_EQ(cache.resumable, 0);
    EXPECT_FALSE(FileExists(P()));
    EXPECT_EQ(ReadFileBytes(Part(P())), "");
    EXPECT_EQ(ReadFileBytes(Part(S())), kOtherSig);
    EXPECT_EQ(ReadFileBytes(S()), kOtherSig);
}

TEST_F(Cache, MoveWithoutOldPayloadLogsNoError)
{
    zv::test::LogLines log(1);
    Arrange(kSig, kSig, std::string("new"), std::nullopt);
    CPayloadCache cache(P(), S(), L".part", L"http://x/");
    EXPECT_EQ(cache.MoveCachedPayloadToPayload(), 1);
    EXPECT_EQ(ReadFileBytes(P()), "new");
    EXPECT_FALSE(FileExists(Part(P())));
    EXPECT_TRUE(log.All().empty());
}

TEST_F(Cache, MoveFallsBackToCopyWhenRenameRefused)
{
    zv::test::LogLines log(1);
    Arrange(kSig, kSig, std::string("new"), std::string("old, read-only"));
    ::SetFileAttributesW(P().c_str(), FILE_ATTRIBUTE_READONLY);
    // Another reader that does not share deletion: the rename is refused, a copy is not.
    zv::fw::CHandle holder(::CreateFileW(Part(P()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    CPayloadCache cache(P(), S(), L".part", L"http://x/");
    EXPECT_EQ(cache.MoveCachedPayloadToPayload(), 1);
    holder.Reset();
    EXPECT_EQ(ReadFileBytes(P()), "new");
    EXPECT_EQ(log.With(L"failed to rename cached payload file to payload").size(), 1u);
    EXPECT_TRUE(log.With(L"failed to copy").empty());
}

// ---- The state table, row by row ---------------------------------------------------------

TEST_F(Cache, NothingCachedFetchesWholeFile)
{
    Arrange(kSig, std::nullopt, std::nullopt, std::nullopt);
    auto o = Fetch();
    EXPECT_EQ(o.result, 1);
    EXPECT_TRUE(ReadFileBytes(P()) == payload);
    EXPECT_FALSE(FileExists(Part(P())));
    EXPECT_EQ(ReadFileBytes(Part(S())), kSig);
    // The size query's answer is the whole file: its body is read, not asked for again.
    ASSERT_EQ(o.requests.size(), 1u);
    EXPECT_EQ(o.requests[0].rfind("200 GET ", 0), 0u) << o.requests[0];
    EXPECT_EQ(RangeOf(o.requests[0]), "-");
}

TEST_F(Cache, InterruptedFirstDownloadResumes)
{
    const uint32_t have = 250000;
    Arrange(kSig, kSig, payload.substr(0, have), std::nullopt);
    zv::test::LogLines log(3);
    auto o = Fetch();
    EXPECT_EQ(o.result, 1);
    EXPECT_TRUE(ReadFileBytes(P()) == payload);
    EXPECT_FALSE(FileExists(Part(P())));
    ASSERT_EQ(o.requests.size(), 2u);
    EXPECT_EQ(o.requests[1].rfind("206 GET", 0), 0u) << o.requests[1];
    EXPECT_EQ(RangeOf(o.requests[1]), zv::ToUtf8(zv::Format(64, L"bytes=%u-%u", have, size - 1)));
    EXPECT_EQ(log.With(L"ZV-cache is clean; payload is resumable").size(), 1u);
    ASSERT_EQ(size, 1052897u); // the test servers' payload.bin
    EXPECT_EQ(log.With(L"Bytes requested :     250000 to    1052896").size(), 1u);
    EXPECT_EQ(log.With(L"downloaded     802897 bytes.").size(), 1u);
}

TEST_F(Cache, InterruptedDownloadBesideOlderPayloadResumes)
{
    const uint32_t have = 600000;
    Arrange(kSig, kSig, payload.substr(0, have), std::string("an older complete payload"));
    auto o = Fetch();
    EXPECT_EQ(o.result, 1);
    EXPECT_TRUE(ReadFileBytes(P()) == payload);
    EXPECT_FALSE(FileExists(Part(P())));
    ASSERT_EQ(o.requests.size(), 2u);
    EXPECT_EQ(RangeOf(o.requests[1]), zv::ToUtf8(zv::Format(64, L"bytes=%u-%u", have, size - 1)));
}

// Before a partial payload is continued the size query asks for one byte, and the server
// sends one byte, not the file again.
TEST_F(Cache, QueryBeforeResumeAsksOneByte)
{
    struct Row {
        const char* name;
        std::optional<std::string> complete;
    };
    const Row rows[] = {
        {"partial only", std::nullopt},
        {"partial beside an older payload", std::string("an older complete payload")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Arrange(kSig, kSig, payload.substr(0, 300000), row.complete);
        auto o = Fetch();
        EXPECT_EQ(o.result, 1);
        EXPECT_TRUE(ReadFileBytes(P()) == payload);
        ASSERT_EQ(o.requests.size(), 2u);
        EXPECT_EQ(o.requests[0].rfind("206 GET ", 0), 0u) << o.requests[0];
        EXPECT_EQ(RangeOf(o.requests[0]), "bytes=0-0");
        EXPECT_NE(o.requests[0].find(" body=1"), std::string::npos) << o.requests[0];
        EXPECT_EQ(RangeOf(o.requests[1]), "bytes=300000-1052896");
    }
}

TEST_F(Cache, CompletedPayloadIsNotFetchedAgain)
{
    Arrange(kSig, kSig, std::nullopt, payload);
    zv::test::LogLines log(2);
    auto o = Fetch();
    EXPECT_EQ(o.result, 1);
    EXPECT_TRUE(ReadFileBytes(P()) == payload);
    ASSERT_EQ(o.requests.size(), 1u); // the size query only
    EXPECT_EQ(log.With(L"File already here:1").size(), 1u);
    ASSERT_EQ(size, 1052897u); // the test servers' payload.bin
    EXPECT_EQ(log.With(L"Bytes requested :          0 to    1052897").size(), 1u);
}

TEST_F(Cache, ChangedSignatureDiscardsEverything)
{
    Arrange(kSig, kOtherSig, payload.substr(0, 1000) + "garbage", std::string("old"));
    zv::test::LogLines log(3);
    auto o = Fetch();
    EXPECT_EQ(o.result, 1);
    EXPECT_TRUE(ReadFileBytes(P()) == payload);
    EXPECT_EQ(ReadFileBytes(Part(S())), kSig);
    ASSERT_EQ(o.requests.size(), 1u); // the size query's answer carries the body
    EXPECT_EQ(RangeOf(o.requests[0]), "-");
    EXPECT_EQ(log.With(L"ZV-cache is dirty; payload is not resumable").size(), 1u);
}

TEST_F(Cache, CompletedPayloadOfOtherLengthIsFetchedAgain)
{
    Arrange(kSig, kSig, std::nullopt, payload + "x");
    auto o = Fetch();
    EXPECT_EQ(o.result, 1);
    EXPECT_TRUE(ReadFileBytes(P()) == payload);
    ASSERT_EQ(o.requests.size(), 1u); // the size query's answer carries the body
    EXPECT_EQ(RangeOf(o.requests[0]), "-");
}

TEST_F(Cache, DisabledCacheAlwaysFetchesWholeFile)
{
    struct Row {
        const char* what;
        std::optional<std::string> pPart, p;
    };
    const Row rows[] = {{"complete", std::nullopt, payload}, {"partial", payload.substr(0, 5000), std::nullopt}};
    for (const auto& row : rows) {
        Arrange(kSig, kSig, row.pPart, row.p);
        zv::test::LogLines log(3);
        auto o = Fetch(Server::nginx, L"/payload.bin", L"", 0);
        EXPECT_EQ(o.result, 1) << row.what;
        EXPECT_TRUE(ReadFileBytes(P()) == payload) << row.what;
        ASSERT_EQ(o.requests.size(), 1u) << row.what; // the size query's answer carries the body
        EXPECT_EQ(RangeOf(o.requests[0]), "-") << row.what;
        EXPECT_EQ(log.With(L"File already here:0").size(), 1u) << row.what;
        EXPECT_EQ(log.With(L"Ignoring ZV cache, per config directive.").size(), 1u) << row.what;
        EXPECT_EQ(log.With(L"Ignoring IE cache, per config directive.").size(), 1u) << row.what;
    }
}

TEST_F(Cache, BrowserCacheDirectiveIsLogged)
{
    Arrange(kSig, std::nullopt, std::nullopt, std::nullopt);
    zv::test::LogLines log(3);
    auto o = Fetch(Server::nginx, L"/payload.bin", L"", 1, 1);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(log.With(L"ZVLib: ---- Downloader (").size(), 1u);
    EXPECT_EQ(log.With(L"Allowing IE cache, per config directive.").size(), 1u);
    EXPECT_EQ(log.With(L"ZVLib: ---- Downloader-cacher:     Allowing ZV cache, per config directive.\n").size(), 1u);
}

// ---- Faults ------------------------------------------------------------------------

TEST_F(Cache, CancelledDownloadResumesOnNextAttempt)
{
    Arrange(kSig, std::nullopt, std::nullopt, std::nullopt);
    std::wstring name = zv::test::UniqueMarker(L"Local\\zvtest-cache-cancel");
    zv::fw::CHandle event(::CreateEventW(nullptr, TRUE, TRUE, name.c_str()));
    auto first = Fetch(Server::nginx, L"/payload.bin", name);
    event.Reset();
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(first.cancelled, 1);
    EXPECT_FALSE(FileExists(P()));
    std::string partial = ReadFileBytes(Part(P()));
    ASSERT_GT(partial.size(), 0u);
    ASSERT_LT(partial.size(), payload.size());
    EXPECT_EQ(ReadFileBytes(Part(S())), kSig);

    auto second = Fetch();
    EXPECT_EQ(second.result, 1);
    EXPECT_TRUE(ReadFileBytes(P()) == payload);
    ASSERT_EQ(second.requests.size(), 2u);
    EXPECT_EQ(RangeOf(second.requests[1]), zv::ToUtf8(zv::Format(64, L"bytes=%u-%u", static_cast<unsigned>(partial.size()), size - 1)));
}

TEST_F(Cache, FailedSizeQueryLeavesCacheUntouched)
{
    Arrange(kSig, kSig, std::string("partial"), std::string("older"));
    auto o = Fetch(Server::closed);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.connectionError, 1);
    EXPECT_EQ(o.cancelled, 0);
    EXPECT_EQ(ReadFileBytes(Part(P())), "partial");
    EXPECT_EQ(ReadFileBytes(P()), "older");
    EXPECT_EQ(ReadFileBytes(Part(S())), kSig);
}

TEST_F(Cache, ServerIgnoringRangeStillYieldsWholePayload)
{
    const uint32_t n = 120000;
    Arrange(kSig, kSig, zv::test::FaultContent(30000), std::nullopt);
    auto o = Fetch(Server::fault, zv::Format(64, L"/norange?len=%u", n));
    EXPECT_EQ(o.result, 1);
    EXPECT_TRUE(ReadFileBytes(P()) == zv::test::FaultContent(n));
}

TEST_F(Cache, BrokenTransferKeepsPartialForLater)
{
    Arrange(kSig, std::nullopt, std::nullopt, std::nullopt);
    auto o = Fetch(Server::fault, L"/reset?len=300000&after=100000");
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.connectionError, 1);
    EXPECT_FALSE(FileExists(P()));
    std::string partial = ReadFileBytes(Part(P()));
    EXPECT_TRUE(partial == zv::test::FaultContent(partial.size()));
    EXPECT_EQ(ReadFileBytes(Part(S())), kSig);
}

} // namespace
