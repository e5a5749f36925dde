// The log's filtering and composition, read through its echo in this process.
// What reaches the real debugger stream is tested under Wine in log_debug_stream_test.
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> g_lines;
void Collect(const wchar_t* line)
{
    g_lines.push_back(line);
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_lines.clear();
        ZvLog().SetEcho(&Collect);
        ZvLog().Enable();
    }
    void TearDown() override
    {
        ZvLog().SetEcho(nullptr);
        ZvLog().SetLevel(0);
    }
};

TEST_F(LogTest, LineIsTagBlankZvBlankMessage)
{
    ZvLog().SetLevel(3);
    ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---> fetched '%s' (%d)\n", L"http://h/x", 7);
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], L"[Info1] ZV: ZvLib: ---> fetched 'http://h/x' (7)\n");
}

TEST_F(LogTest, LevelDecidesWhichLinesAppear)
{
    struct Case {
        int configured;
        std::vector<std::wstring> tags;
    } cases[] = {
        {0, {}},
        {1, {L"[Error]"}},
        {3, {L"[Error]", L"[Info1]", L"[Info2]"}},
        {6, {L"[Error]", L"[Info1]", L"[Info2]", L"[Debu1]", L"[Debu2]", L"[Debu3]"}},
        {7, {L"[Error]", L"[Info1]", L"[Info2]", L"[Debu1]", L"[Debu2]", L"[Debu3]"}},
        {100, {L"[Error]", L"[Info1]", L"[Info2]", L"[Debu1]", L"[Debu2]", L"[Debu3]"}},
        {-1, {L"[Error]", L"[Info1]", L"[Info2]", L"[Debu1]", L"[Debu2]", L"[Debu3]"}},
    };
    for (const auto& c : cases) {
        g_lines.clear();
        ZvLog().SetLevel(c.configured);
        for (unsigned level = 0; level <= 8; ++level) ZvLog().Log(level, L"m");
        std::vector<std::wstring> tags;
        for (const auto& l : g_lines) tags.push_back(l.substr(0, l.find(L' ')));
        EXPECT_EQ(tags, c.tags) << "TraceLevel " << c.configured;
    }
}

TEST_F(LogTest, OutOfRangeLevelsMeanMaximumVerbosity)
{
    for (int v : {7, 100, -1, -2147483647 - 1}) {
        ZvLog().SetLevel(v);
        EXPECT_EQ(ZvLog().GetLevel(), 6u) << v;
    }
    ZvLog().SetLevel(0);
    EXPECT_EQ(ZvLog().GetLevel(), 0u);
}

TEST_F(LogTest, LevelZeroNeverWrites)
{
    ZvLog().SetLevel(6);
    ZvLog().Log(0, L"never");
    ZvLog().LogText(0, L"never");
    EXPECT_TRUE(g_lines.empty());
}

TEST_F(LogTest, LogTextWritesTheFinishedTextUnformatted)
{
    ZvLog().SetLevel(2);
    ZvLog().LogText(ZVLOG_ERROR, L"100% sure %s");
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], L"[Error] ZV: 100% sure %s");
}

TEST_F(LogTest, LogPlainIgnoresLevelAndWritesUntagged)
{
    ZvLog().SetLevel(0);
    ZvLog().LogPlain(1, ZVLOG_INFO1, L"[Info1] %s: ===> x %d\n", L"ZvInstallPST", 5);
    ZvLog().LogPlain(0, ZVLOG_INFO1, L"not verbose");
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], L"[Info1] ZvInstallPST: ===> x 5\n");
}

TEST_F(LogTest, MessagesWithoutLineEndStayAsWritten)
{
    ZvLog().SetLevel(2);
    ZvLog().Log(ZVLOG_INFO1, L"part one ");
    ZvLog().Log(ZVLOG_INFO1, L"part two");
    ASSERT_EQ(g_lines.size(), 2u);
    EXPECT_EQ(g_lines[0] + g_lines[1], L"[Info1] ZV: part one [Info1] ZV: part two");
}

TEST_F(LogTest, OverlongMessagesAreCutToTheBuffers)
{
    ZvLog().SetLevel(6);
    std::wstring big(10000, L'x');
    ZvLog().Log(ZVLOG_ERROR, L"%s%s", big.c_str(), big.c_str());
    ZvLog().LogText(ZVLOG_ERROR, big.c_str());
    ZvLog().LogPlain(1, ZVLOG_ERROR, L"%s", big.c_str());
    ASSERT_EQ(g_lines.size(), 3u);
    for (const auto& l : g_lines) EXPECT_EQ(l.size(), 2047u);
    EXPECT_EQ(g_lines[0].substr(0, 12), L"[Error] ZV: ");
}

TEST_F(LogTest, FileSinkAppendsTimestampedLines)
{
    std::string path = ::testing::TempDir() + "zvlog-sink-test.log";
    std::remove(path.c_str());
    ZvLog().SetLevel(2);
    ZvLog().SetFileSink(zv::FromUtf8(path));
    ZvLog().Log(ZVLOG_INFO1, L"to the file");
    ZvLog().SetFileSink(L"");
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string content(4096, '\0');
    content.resize(std::fread(content.data(), 1, content.size(), f));
    std::fclose(f);
    std::remove(path.c_str());
#ifdef _WIN32
    // Wide text on Windows: compare the UTF-16 bytes as text.
    std::wstring text(reinterpret_cast<const wchar_t*>(content.data()), content.size() / sizeof(wchar_t));
#else
    std::wstring text = zv::FromUtf8(content);
#endif
    // "YYYY-MM-DD HH:MM:SS [Info1] ZV: to the file\r\n"
    ASSERT_EQ(text.size(), 19u + std::wstring(L" [Info1] ZV: to the file\r\n").size()) << zv::ToUtf8(text);
    EXPECT_EQ(text.substr(19), L" [Info1] ZV: to the file\r\n");
    EXPECT_EQ(text[4], L'-');
    EXPECT_EQ(text[10], L' ');
    EXPECT_EQ(text[13], L':');
    ASSERT_EQ(g_lines.size(), 1u); // the debugger line is still written
}

#ifndef _WIN32
// A fresh process: nothing is logged before the configuration has been read, and
// the configuration is read once.
TEST(LogStartup, SilentUntilInitialisedAndReadOnce)
{
    // Re-executes the program so the child starts with the log as static initialisation left it.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::vector<std::wstring> seen;
            static std::vector<std::wstring>* out = &seen;
            ZvLog().SetEcho([](const wchar_t* l) { out->push_back(l); });
            ZvLog().Log(ZVLOG_ERROR, L"too early");
            setenv("ZV_TRACE_LEVEL", "1", 1);
            ZvLog().EnsureInitialised();
            setenv("ZV_TRACE_LEVEL", "6", 1);
            ZvLog().EnsureInitialised();
            ZvLog().Log(ZVLOG_ERROR, L"e");
            ZvLog().Log(ZVLOG_INFO1, L"i");
            bool ok = seen.size() == 1 && seen[0] == L"[Error] ZV: e" && ZvLog().GetLevel() == 1;
            std::_Exit(ok ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

} // namespace
