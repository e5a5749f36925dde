// The log as a support engineer sees it: a fresh process reads "TraceLevel" from the
// shared "ZvConfig.ini" and its lines are read back from the real debugger stream.
#include "support/child_process.h"
#include "support/debug_stream_capture.h"
#include "support/test_paths.h"
#include "updater/base/win32/path_helpers.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <optional>

namespace {

std::wstring IniPath()
{
    return GetSharedUpdaterDir() + L"\\ZvConfig.ini";
}

// Keeps whatever "ZvConfig.ini" the prefix had and puts it back afterwards.
class ConfigFileGuard {
public:
    ConfigFileGuard()
    {
        if (zv::test::FileExists(IniPath())) m_saved = zv::test::ReadFileBytes(IniPath());
        ::SHCreateDirectoryExW(nullptr, GetSharedUpdaterDir().c_str(), nullptr);
    }
    ~ConfigFileGuard()
    {
        if (m_saved) {
            zv::test::WriteFileBytes(IniPath(), *m_saved);
        } else {
            ::DeleteFileW(IniPath().c_str());
        }
    }

private:
    std::optional<std::string> m_saved;
};

void WriteIni(const std::string& content)
{
    zv::test::WriteFileBytes(IniPath(), content);
}

struct ProbeRun {
    DWORD exitCode = 0;
    std::vector<std::string> texts;
};

ProbeRun RunProbe(zv::test::DebugStreamCapture& capture, const std::wstring& args = L"")
{
    zv::test::ChildProcess child;
    EXPECT_TRUE(child.Start(zv::test::SiblingProgram(L"log_probe.exe"), args));
    ProbeRun run;
    run.exitCode = child.Wait();
    capture.Drain();
    run.texts = capture.Texts(child.Pid());
    return run;
}

TEST(LogDebugStream, TraceLevelDecidesWhatAppears)
{
    ConfigFileGuard guard;
    zv::test::DebugStreamCapture capture;
    ASSERT_TRUE(capture.IsReady());

    const std::vector<std::string> all = {
        "[Error] ZV: probe: Log at 1\n", "[Info1] ZV: probe: Log at 2\n", "[Info2] ZV: probe: Log at 3\n",
        "[Debu1] ZV: probe: Log at 4\n", "[Debu2] ZV: probe: Log at 5\n", "[Debu3] ZV: probe: Log at 6\n",
        "[Info1] ZV: probe: LogText\n",  "[Info1] ZvProbe: probe LogPlain\n"};
    struct Case {
        const char* ini; // null: no file at all
        int level;
        std::vector<std::string> expected;
    } cases[] = {
        {nullptr, 0, {}},
        {"[Settings]\r\nOther=1\r\n", 0, {}},
        {"[Settings]\r\nTraceLevel=1\r\n", 1, {all[0], all[7]}},
        {"[Settings]\r\nTraceLevel=3\r\n", 3, {all[0], all[1], all[2], all[6], all[7]}},
        {"[Settings]\r\nTraceLevel=7\r\n", 6, all},
        {"[Settings]\r\nTraceLevel=100\r\n", 6, all},
        {"[Settings]\r\nTraceLevel=-1\r\n", 6, all},
        {"[Settings]\r\nTraceLevel=abc\r\n", 0, {}},
        {"[Other]\r\nTraceLevel=3\r\n", 0, {}},
    };
    for (const auto& c : cases) {
        if (c.ini)
            WriteIni(c.ini);
        else
            ::DeleteFileW(IniPath().c_str());
        ProbeRun run = RunProbe(capture);
        EXPECT_EQ(static_cast<int>(run.exitCode), c.level) << (c.ini ? c.ini : "(no file)");
        EXPECT_EQ(run.texts, c.expected) << (c.ini ? c.ini : "(no file)");
    }
}

TEST(LogDebugStream, ConfigurationIsReadOnce)
{
    ConfigFileGuard guard;
    zv::test::DebugStreamCapture capture;
    ASSERT_TRUE(capture.IsReady());
    WriteIni("[Settings]\r\nTraceLevel=2\r\n");
    ProbeRun run = RunProbe(capture, L"\"" + IniPath() + L"\"");
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.texts, (std::vector<std::string>{"[Error] ZV: probe: Log at 1\n", "[Info1] ZV: probe: Log at 2\n",
                                                   "[Info1] ZV: probe: LogText\n", "[Info1] ZvProbe: probe LogPlain\n"}));
}

} // namespace
