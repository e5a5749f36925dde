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
        zv::Log().SetEcho(&Collect);
        zv::Log().Enable();
    }
    void TearDown() override
    {
        zv::Log().SetEcho(nullptr);
        zv::Log().SetLevel(0);
    }
};

TEST_F(LogTest, LineIsTagBlankZvBlankMessage)
{
    zv::Log().SetLevel(3);
    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---> fetched '%s' (%d)\n", L"http://h/x", 7);
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
        zv::Log().SetLevel(c.configured);
        for (unsigned level = 0; level <= 8; ++level) zv::Log().Log(level, L"m");
        std::vector<std::wstring> tags;
        for (const auto& l : g_lines) tags.push_back(l.substr(0, l.find(L' ')));
        EXPECT_EQ(tags, c.tags) << "TraceLevel " << c.configured;
    }
}

TEST_F(LogTest, OutOfRangeLevelsMeanMaximumVerbosity)
{
    for (int v : {7, 100, -1, -2147483647 - 1}) {
        zv::Log().SetLevel(v);
        EXPECT_EQ(zv::Log().GetLevel(), 6u) << v;
    }
    zv::Log().SetLevel(0);
    EXPECT_EQ(zv::Log().GetLevel(), 0u);
}

TEST_F(LogTest, LevelZeroNeverWrites)
{
    zv::Log().SetLevel(6);
    zv::Log().Log(0, L"never");
    zv::Log().LogText(0, L"never");
    EXPECT_TRUE(g_lines.empty());
}

TEST_F(LogTest, LogTextWritesTheFinishedTextUnformatted)
{
    zv::Log().SetLevel(2);
    zv::Log().LogText(zv::ZVLOG_ERROR, L"100% sure %s");
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], L"[Error] ZV: 100% sure %s");
}

TEST_F(LogTest, LogPlainIgnoresLevelAndWritesUntagged)
{
    zv::Log().SetLevel(0);
    zv::Log().LogPlain(1, zv::ZVLOG_INFO1, L"[Info1] %s: ===> x %d\n", L"ZvInstallPST", 5);
    zv::Log().LogPlain(0, zv::ZVLOG_INFO1, L"not verbose");
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], L"[Info1] ZvInstallPST: ===> x 5\n");
}

TEST_F(LogTest, MessagesWithoutLineEndStayAsWritten)
{
    zv::Log().SetLevel(2);
    zv::Log().Log(zv::ZVLOG_INFO1, L"part one ");
    zv::Log().Log(zv::ZVLOG_INFO1, L"part two");
    ASSERT_EQ(g_lines.size(), 2u);
    EXPECT_EQ(g_lines[0] + g_lines[1], L"[Info1] ZV: part one [Info1] ZV: part two");
}

TEST_F(LogTest, OverlongMessagesAreCutToTheBuffers)
{
    zv::Log().SetLevel(6);
    std::wstring big(10000, L'x');
    zv::Log().Log(zv::ZVLOG_ERROR, L"%s%s", big.c_str(), big.c_str());
    zv::Log().LogText(zv::ZVLOG_ERROR, big.c_str());
    zv::Log().LogPlain(1, zv::ZVLOG_ERROR, L"%s", big.c_str());
    ASSERT_EQ(g_lines.size(), 3u);
    for (const auto& l : g_lines) EXPECT_EQ(l.size(), 2047u);
    EXPECT_EQ(g_lines[0].substr(0, 12), L"[Error] ZV: ");
}

TEST_F(LogTest, FileSinkAppendsTimestampedLines)
{
    std::string path = ::testing::TempDir() + "zvlog-sink-test.log";
    std::remove(path.c_str());
    zv::Log().SetLevel(2);
    zv::Log().SetFileSink(zv::FromUtf8(path));
    zv::Log().Log(zv::ZVLOG_INFO1, L"to the file");
    zv::Log().SetFileSink(L"");
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
            zv::Log().SetEcho([](const wchar_t* l) { out->push_back(l); });
            zv::Log().Log(zv::ZVLOG_ERROR, L"too early");
            setenv("ZV_TRACE_LEVEL", "1", 1);
            zv::Log().EnsureInitialised();
            setenv("ZV_TRACE_LEVEL", "6", 1);
            zv::Log().EnsureInitialised();
            zv::Log().Log(zv::ZVLOG_ERROR, L"e");
            zv::Log().Log(zv::ZVLOG_INFO1, L"i");
            bool ok = seen.size() == 1 && seen[0] == L"[Error] ZV: e" && zv::Log().GetLevel() == 1;
            std::_Exit(ok ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

} // namespace
