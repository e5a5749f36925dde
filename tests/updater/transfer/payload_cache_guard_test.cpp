// The download cache's guards: what may fingerprint or discard a partial download, the
// offset a resumed body goes to, and the flush before the final rename.
#include "updater/transfer/payload_cache.h"

#include "cache_fixture.h"
#include "framework/handle.h"
#include "support/log_capture.h"
#include "updater/transfer/pubkey_resource.h"

namespace {

using zv::test::Cache;
using zv::test::FileExists;
using zv::test::kSig;
using zv::test::ReadFileBytes;

// A signature of the test key's length (2048 bits: 512 digits).
const std::string kKeySig = std::string(512, 'C') + "\r\n";

PubKeyResource TestKey()
{
    PubKeyResource key;
    key.keyFilePath = zv::test::SourcePath(L"tests/data/auth/test_key.pub");
    return key;
}

TEST(SignatureLengthOf, IsTheKeysModulusOrZero)
{
    EXPECT_EQ(zv::SignatureLengthOf(TestKey()), 256u);
    PubKeyResource missing;
    missing.keyFilePath = zv::test::SourcePath(L"tests/data/auth/no-such.pub");
    EXPECT_EQ(zv::SignatureLengthOf(missing), 0u);
    EXPECT_EQ(zv::SignatureLengthOf(PubKeyResource()), 0u);
}

TEST_F(Cache, SignatureThatIsNoSignatureLeavesTheCacheAlone)
{
    const PubKeyResource testKey = TestKey();
    struct Row {
        const char* what;
        std::string s;
        bool withKey;
    } rows[] = {
        {"error page", "<html><head><title>502 Bad Gateway</title></head></html>\r\n", false},
        {"captive portal", "<!DOCTYPE html><form action=\"/login\">Sign in to the hotel Wi-Fi</form>", true},
        {"empty answer", "", false},
        {"odd number of digits", kSig.substr(1), false},
        {"hex, but not as long as the key's modulus", kSig, true},
    };
    const std::string partial = payload.substr(0, 300000);
    for (const auto& row : rows) {
        key = row.withKey ? &testKey : nullptr;
        Arrange(row.s, kSig, partial, std::string("an older complete payload"));
        zv::test::LogLines log(1);
        auto o = Fetch();
        EXPECT_EQ(o.result, 0) << row.what;
        EXPECT_TRUE(o.requests.empty()) << row.what << ": " << o.requests.size() << " requests";
        EXPECT_TRUE(ReadFileBytes(Part(P())) == partial) << row.what;
        EXPECT_EQ(ReadFileBytes(Part(S())), kSig) << row.what;
        EXPECT_EQ(ReadFileBytes(P()), "an older complete payload") << row.what;
        EXPECT_EQ(log.With(L"the signature file holds no signature; the cache is left as it is").size(), 1u) << row.what;
    }
}

TEST_F(Cache, SignatureOfTheKeysLengthResumes)
{
    const PubKeyResource testKey = TestKey();
    key = &testKey;
    const uint32_t have = 300000;
    Arrange(kKeySig, kKeySig, payload.substr(0, have), std::nullopt);
    auto o = Fetch();
    EXPECT_EQ(o.result, 1);
    EXPECT_TRUE(ReadFileBytes(P()) == payload);
    ASSERT_EQ(o.requests.size(), 2u);
    EXPECT_EQ(RangeOf(o.requests[1]), zv::ToUtf8(zv::Format(64, L"bytes=%u-%u", have, size - 1)));
}

TEST_F(Cache, PartialFileThatCannotBeMeasuredIsNotResumed)
{
    Arrange(kSig, kSig, std::string(40, 'a'), std::nullopt);
    CPayloadCache cache(P(), S(), L".part", L"http://x/");
    cache.SetRemoteFileSize(100);
    cache.partSize = 40; // an earlier measurement must not stand in for a failed one
    {
        // Held by another program that shares nothing: its length cannot be read.
        zv::fw::CHandle holder(::CreateFileW(Part(P()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        zv::test::LogLines log(3);
        EXPECT_FALSE(cache.GetPartSize());
        EXPECT_FALSE(cache.IsPartLength(40));
        EXPECT_EQ(cache.CheckResumable(), 0);
        EXPECT_EQ(cache.resumable, 0);
        EXPECT_EQ(log.With(L"ZV-cached payload file cannot be measured; payload is not resumable").size(), 1u);
        EXPECT_TRUE(log.With(L"payload is resumable").empty());
    }
    EXPECT_TRUE(cache.GetPartSize());
    EXPECT_TRUE(cache.IsPartLength(40));
    EXPECT_FALSE(cache.IsPartLength(39));
    EXPECT_EQ(cache.CheckResumable(), 1);
}

bool SameFile(HANDLE a, const std::wstring& path)
{
    zv::fw::CHandle b(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (!b || !::GetFileInformationByHandle(a, &ia) || !::GetFileInformationByHandle(b.Get(), &ib)) return false;
    // Both paths lie in one scratch folder; Wine does not always fill in the volume.
    return ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

TEST_F(Cache, PartialThatCannotBeFlushedIsCopiedNotRenamed)
{
    Arrange(kSig, kSig, std::string("new"), std::nullopt);
    // A reader that lets the file be renamed but not written: P.part cannot be flushed,
    // so its unflushed bytes must not simply get the final name.
    zv::fw::CHandle holder(::CreateFileW(Part(P()).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    zv::test::LogLines log(1);
    CPayloadCache cache(P(), S(), L".part", L"http://x/");
    EXPECT_EQ(cache.MoveCachedPayloadToPayload(), 1);
    EXPECT_EQ(ReadFileBytes(P()), "new");
    EXPECT_FALSE(SameFile(holder.Get(), P())) << "the unflushed partial file was renamed into place";
    EXPECT_EQ(log.With(L"failed to rename cached payload file to payload").size(), 1u);
    EXPECT_FALSE(FileExists(P() + L".tmp"));
}

TEST_F(Cache, FlushedPartialIsRenamedAndResetLeavesNoTemporaryFile)
{
    Arrange(kSig, kSig, std::string("new"), std::string("old"));
    CPayloadCache cache(P(), S(), L".part", L"http://x/");
    {
        zv::fw::CHandle part(::CreateFileW(Part(P()).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(part);
        zv::test::LogLines log(1);
        EXPECT_EQ(cache.MoveCachedPayloadToPayload(), 1);
        // The partial file itself took the final name: no copy was needed.
        EXPECT_TRUE(SameFile(part.Get(), P()));
        EXPECT_TRUE(log.All().empty());
    }
    EXPECT_EQ(ReadFileBytes(P()), "new");

    cache.ResetCache();
    EXPECT_EQ(ReadFileBytes(Part(S())), kSig);
    EXPECT_FALSE(FileExists(Part(S()) + L".tmp"));
}

} // namespace
