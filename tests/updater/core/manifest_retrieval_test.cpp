// Fetching a group's manifest from nginx: the signature before the manifest, then
// authentication, then loading; anything that does not authenticate loads nothing.
// Also the connection check.
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"

#include "support/log_capture.h"
#include "support/test_paths.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"
#include "../transfer/http_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using zv::test::Server;

namespace {

std::string Fixture(const std::wstring& name)
{
    return zv::test::ReadFileBytes(zv::test::SourcePath(L"tests/data/core/retrieval/" + name));
}

// Puts bytes where nginx serves urlPath ("/a/b/c"), making the folders.
void Serve(const std::wstring& urlPath, const std::string& bytes)
{
    std::wstring path = zv::test::BuildPath(L"http-state/www");
    size_t start = 1;
    for (;;) {
        size_t slash = urlPath.find(L'/', start);
        std::wstring part = urlPath.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start);
        if (slash == std::wstring::npos) {
            zv::test::WriteFileBytes(path + L"\\" + part, bytes);
            return;
        }
        if (!part.empty()) {
            path += L"\\" + part;
            ::CreateDirectoryW(path.c_str(), nullptr);
        }
        start = slash + 1;
    }
}

// An initialised updater on the real machine with one complete group whose server is
// a folder of nginx's own for this rig, the test key as the trusted key, and a
// temporary folder of its own.
struct Rig {
    Rig()
    {
        zv::Log().EnsureInitialised();
        EXPECT_EQ(updater.Initialize(), 1);
        imp = updater.Imp();
        imp->tempDir = scratch.Path() + L"\\";
        imp->publicKeyPath = zv::test::SourcePath(L"tests/data/auth/test_key.pub");
        EXPECT_EQ(updater.CreateRequestGroupInfo(&group), 1);
        ZvLib_CConfigParamsLoader& c = group->config;
        marker = zv::ToUtf8(zv::test::UniqueMarker(L"retrieval"));
        c.payloadServerHost = zv::test::HttpUrl(Server::nginx, L"/" + zv::FromUtf8(marker));
        c.productBrand = L"quorvane";
        c.payloadBuName = L"peripherals";
        c.payloadProductName = L"tandemix";
        c.payloadFilename = L"setup";
        c.payloadFilenameExtension = L"exe";
        c.productAbbr = L"TVK";
        c.productName = L"tandemvesk";
        c.productVersion = L"1.00";
        c.hostProductOption = L"0";
        c.language = L"enu";
        c.installedProducts[L"tandemix"] = L"0.00.00";
        c.paramsInitted = 1;
    }

    // The manifest's path on the server (the URL without host and query).
    std::wstring ManifestUrlPath() const
    {
        std::wstring url = imp->ManifestUrl(group->id);
        std::wstring host = zv::test::HttpUrl(Server::nginx, L"");
        EXPECT_EQ(url.compare(0, host.size(), host), 0) << zv::ToUtf8(url);
        return url.substr(host.size(), url.find(L'?') - host.size());
    }

    // Serves the manifest and, unless sig is empty, its signature file.
    void ServePair(const std::string& manifest, const std::string& sig)
    {
        std::wstring path = ManifestUrlPath();
        Serve(path, manifest);
        if (!sig.empty()) Serve(path + L".sig", sig);
    }

    int Check() { return updater.CheckForInstallables2(1, 0, group->id); }
    size_t Requests() const { return zv::test::AccessLogLines(marker).size(); }

    zv::test::ScratchDir scratch{L"manifest-retrieval"};
    ZvLib_CUpdater updater;
    CUpdaterImp* imp = nullptr;
    ZvLib_CRequestGroupInfo* group = nullptr;
    std::string marker;
};

TEST(ManifestRetrieval, SignatureIsFetchedFirstThenTheManifestIsAuthenticatedAndLoaded)
{
    Rig r;
    r.ServePair(Fixture(L"signed.man.xml"), Fixture(L"signed.man.xml.sig"));
    zv::test::LogLines log(2);
    ASSERT_EQ(r.Check(), 1);

    std::vector<std::string> requests = zv::test::AccessLogLines(r.marker);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find(".man.xml.sig?"), std::string::npos) << requests[0];
    EXPECT_NE(requests[1].find(".man.xml?"), std::string::npos) << requests[1];
    EXPECT_EQ(requests[1].find(".sig"), std::string::npos) << requests[1];

    ASSERT_EQ(r.imp->items.size(), 1u);
    EXPECT_EQ(r.imp->items[0]->manifestId, 7);
    EXPECT_EQ(log.Count(L"**** Manifest: Loaded manifest file '" + r.scratch.Path() + L"\\tandemvesk.man.xml'"), 1);
    EXPECT_EQ(log.Count(L"**** Manifest info: name='tandemix' revision='3' internalName='retrieval'"), 1);
    EXPECT_EQ(log.Count(L"ERROR"), 0);
    // The files stay in the temporary folder.
    EXPECT_EQ(zv::test::ReadFileBytes(r.scratch.File(L"tandemvesk.man.xml")), Fixture(L"signed.man.xml"));
    EXPECT_EQ(zv::test::ReadFileBytes(r.scratch.File(L"tandemvesk.man.xml.sig")), Fixture(L"signed.man.xml.sig"));
    // The check works on a copy: the group's own record keeps its empty query string.
    EXPECT_TRUE(r.group->config.queryString.empty());
}

TEST(ManifestRetrieval, WhatDoesNotAuthenticateOrArriveLoadsNothing)
{
    const std::string manifest = Fixture(L"signed.man.xml");
    std::string tampered = manifest;
    tampered.replace(tampered.find("\"2.0\""), 5, "\"9.0\"");
    struct Case {
        const char* name;
        std::string served, sig; // sig empty: none on the server
        bool deadServer;
        const wchar_t* logged;
        size_t requests; // as nginx saw them
    };
    const Case cases[] = {
        {"unsigned", manifest, "", false, L"ZvLib ERROR: ObtainManifest2: download of", 1},
        {"tampered", tampered, Fixture(L"signed.man.xml.sig"), false, L"failed authentication (", 2},
        {"signed by another key", manifest, Fixture(L"signed.man.xml.stranger.sig"), false, L"failed authentication (", 2},
        {"signature of another file", manifest,
         zv::test::ReadFileBytes(zv::test::SourcePath(L"tests/data/auth/hello.txt.sig")), false, L"failed authentication (", 2},
        {"signature file not a signature", manifest, "<html>login</html>\n", false, L"failed authentication (", 2},
        {"dead server", manifest, Fixture(L"signed.man.xml.sig"), true, L"ZvLib ERROR: ObtainManifest2: download of", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.ServePair(c.served, c.sig);
        if (c.deadServer) r.group->config.payloadServerHost = zv::test::HttpUrl(Server::closed, L"/" + zv::FromUtf8(r.marker));
        zv::test::LogLines log(2);
        EXPECT_EQ(r.Check(), 0);
        EXPECT_TRUE(r.imp->items.empty());
        EXPECT_EQ(log.Count(c.logged), 1);
        EXPECT_EQ(log.Count(L"Loaded manifest file"), 0);
        EXPECT_EQ(r.Requests(), c.requests);
        // Nothing unauthenticated stays behind for a later reader.
        EXPECT_FALSE(zv::test::FileExists(r.scratch.File(L"tandemvesk.man.xml")));
        EXPECT_FALSE(zv::test::FileExists(r.scratch.File(L"tandemvesk.man.xml.sig")));
    }
}

TEST(ManifestRetrieval, RefusalsAskNothingOfTheServer)
{
    struct Case {
        const char* name;
        void (*arrange)(Rig& r, int& obtain, int& id);
        const wchar_t* logged; // null: no line
    };
    const Case cases[] = {
        {"unknown group", [](Rig&, int&, int& id) { id = 4242; },
         L"ZvLib ERROR: CheckForInstallables2: Rgi not found, iIdOfRequestGroupInfo: 4242\n"},
        {"parameters not initted", [](Rig& r, int&, int&) { r.group->config.paramsInitted = 0; },
         L"ZvLib ERROR: Request-group's config parameters have not been initted, iIdOfRequestGroupInfo: 101\n"},
        {"nothing asked", [](Rig&, int& obtain, int&) { obtain = 0; }, nullptr},
        {"group not complete", [](Rig& r, int&, int&) { r.group->config.language.clear(); }, nullptr},
        {"no temporary folder", [](Rig& r, int&, int&) { r.imp->tempDir.clear(); },
         L"ZvLib ERROR: ObtainManifest2: no temporary directory, manifest not fetched.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.ServePair(Fixture(L"signed.man.xml"), Fixture(L"signed.man.xml.sig"));
        int obtain = 1, id = r.group->id;
        c.arrange(r, obtain, id);
        zv::test::LogLines log(1);
        EXPECT_EQ(r.updater.CheckForInstallables2(obtain, 0, id), 0);
        std::vector<std::wstring> lines = log.All();
        if (c.logged) {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_NE(lines[0].find(c.logged), std::wstring::npos) << zv::ToUtf8(lines[0]);
        } else {
            EXPECT_TRUE(lines.empty());
        }
        EXPECT_EQ(r.Requests(), 0u);
        EXPECT_TRUE(r.imp->items.empty());
    }
    // Other sources only: success without a request.
    Rig r;
    EXPECT_EQ(r.updater.CheckForInstallables2(0, 1, r.group->id), 1);
    EXPECT_EQ(r.Requests(), 0u);
    // Without an implementation: 0.
    ZvLib_CUpdater bare;
    EXPECT_EQ(bare.CheckForInstallables2(1, 0, 101), 0);
}

TEST(ConnectionCheck, TheConfiguredServerDecides)
{
    struct Case {
        const char* name;
        std::wstring address;
        int expected;
    };
    const Case cases[] = {
        {"server answers", zv::test::HttpUrl(Server::nginx, L"/"), 1},
        {"nobody listens", zv::test::HttpUrl(Server::closed, L"/"), 0},
        {"no server configured: the connected state alone", L"", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZvLib_CUpdater updater(c.address);
        EXPECT_EQ(updater.IsInternetConnected(), 0) << "before Initialize";
        ASSERT_EQ(updater.Initialize(), 1);
        EXPECT_EQ(updater.IsInternetConnected(), c.expected);
    }
}

TEST(ConnectionCheck, ServerAddressComesFromTheProductFile)
{
    zv::test::ScratchDir dir(L"server-address");
    struct Case {
        const char* name;
        const char* hostLine; // null: no key
        std::wstring expected;
    };
    const Case cases[] = {
        {"bare host", "updates.example.invalid", L"http://updates.example.invalid/"},
        {"with scheme and slash", " http://127.0.0.1:8080/ ", L"http://127.0.0.1:8080/"},
        {"no key", nullptr, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string xml = "<ProductConfig schema=\"2.00\"><StringSet lang=\"default\">";
        if (c.hostLine) xml += std::string("<String id=\"IDS_PAYLOAD_SERVER_HOST\">") + c.hostLine + "</String>";
        xml += "<String id=\"IDS_PRODUCT_ABBR\">KVCH</String></StringSet></ProductConfig>";
        zv::test::WriteFileBytes(dir.File(L"product.xml"), xml);
        EXPECT_EQ(ZvLib_CUpdater::ServerAddressOf(dir.File(L"product.xml")), c.expected);
    }
    EXPECT_EQ(ZvLib_CUpdater::ServerAddressOf(dir.File(L"missing.xml")), L"");
}

} // namespace
