#pragma once
// The download cache's test fixture: the four cache files in a scratch folder, arranged
// before an attempt, and one attempt against the run's HTTP servers.
#include "http_fixture.h"
#include "support/test_paths.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/download_events.h"
#include "updater/transfer/downloader.h"
#include "updater/transfer/grab_resumable.h"
#include "updater/transfer/payload_cache.h"
#include "updater/transfer/transfer_stats.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace zv::test {

inline const std::string kSig = "0123456789ABCDEF0123456789ABCDEF\r\n";
inline const std::string kOtherSig = "FEDCBA9876543210FEDCBA9876543210\r\n";

class Cache : public ::testing::Test {
protected:
    std::wstring P() const { return dir.File(L"payload.exe"); }
    std::wstring S() const { return dir.File(L"payload.exe.sig"); }
    std::wstring Part(const std::wstring& path) const { return path + L".part"; }

    // Files before the attempt; nullopt: absent.
    void Arrange(std::optional<std::string> s, std::optional<std::string> sPart, std::optional<std::string> pPart,
                 std::optional<std::string> p)
    {
        auto put = [](const std::wstring& path, const std::optional<std::string>& bytes) {
            ::DeleteFileW(path.c_str());
            if (bytes) WriteFileBytes(path, *bytes);
        };
        put(S(), s);
        put(Part(S()), sPart);
        put(Part(P()), pPart);
        put(P(), p);
    }

    struct Outcome {
        int result, cancelled, connectionError;
        std::vector<std::string> requests; // nginx's lines for this attempt: size query, then body
    };

    Outcome Fetch(Server server = Server::nginx, const std::wstring& path = L"/payload.bin",
                  const std::wstring& cancelName = L"", int allowZvCache = 1, int allowBrowserCache = 0)
    {
        ZvLib_CDownloader downloader;
        downloader.publicKey = key;
        downloader.configParams.allowZvCache = allowZvCache;
        downloader.configParams.allowBrowserCache = allowBrowserCache;
        std::wstring marker = zv::test::UniqueMarker(L"cache");
        ZvLib_CDownloadRequest request;
        request.payloadUrl = HttpUrl(server, path + (path.find(L'?') == std::wstring::npos ? L"?" : L"&") + marker);
        request.payloadPath = P();
        request.sigUrl = HttpUrl(server, L"/payload.bin.sig");
        request.sigPath = S();
        Outcome o{};
        ZvLib_CTransferStats stats;
        o.result = HttpGrabFileResumable(downloader, 4, request, o.cancelled, o.connectionError, cancelName, nullptr,
                                         nullptr, &stats);
        o.requests = zv::test::AccessLogLines(zv::ToUtf8(marker));
        if (o.result && server == Server::nginx) {
            EXPECT_EQ(request.expectedSize, payload.size());
        }
        return o;
    }

    static std::string RangeOf(const std::string& line)
    {
        size_t at = line.find("range=");
        return at == std::string::npos ? "" : line.substr(at + 6, line.find(' ', at) - at - 6);
    }

    const PubKeyResource* key = nullptr; // the downloader's key, when a test sets one
    zv::test::ScratchDir dir{L"payload-cache"};
    std::string payload = ServedFile(L"payload.bin");
    uint32_t size = static_cast<uint32_t>(payload.size());
};

} // namespace zv::test
