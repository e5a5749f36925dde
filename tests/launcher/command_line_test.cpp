#include "launcher/command_line.h"
#include "launcher/command_split.h"

#include <gtest/gtest.h>

namespace {

using zv::launcher::KECommandLineInfo;

struct SwitchCase {
    std::vector<std::wstring> args;
    bool close;
    bool silent;
    int splashMs;
};

TEST(KECommandLineInfo, ReadsSwitchesWithDashOrSlashInAnyCase)
{
    const SwitchCase cases[] = {
        {{}, false, false, 2000},
        {{L"/x"}, true, false, 2000},
        {{L"-X"}, true, false, 2000},
        {{L"/S"}, false, true, 2000},
        {{L"-s", L"/x"}, true, true, 2000},
        {{L"/splash_duration:15000"}, false, false, 15000},
        {{L"-SPLASH_DURATION:0"}, false, false, 0},
        {{L"/Splash_Duration:750ms"}, false, false, 750},
        {{L"/splash_duration:15001"}, false, false, 2000},
        {{L"/splash_duration:-1"}, false, false, 2000},
        {{L"/splash_duration:abc"}, false, false, 0},
        {{L"/splash_duration:"}, false, false, 0},
        {{L"/splash_duration:99999999999999999999"}, false, false, 2000},
        // Recognised only as a prefix right after the switch character.
        {{L"/nosplash_duration:500"}, false, false, 2000},
        {{L"/splash_duration=500"}, false, false, 2000},
        // Plain arguments, longer words and unknown switches mean nothing.
        {{L"x", L"s", L"splash_duration:10"}, false, false, 2000},
        {{L"/xs", L"/silent", L"/", L"-"}, false, false, 2000},
        {{L"/splash_duration:100", L"/splash_duration:200"}, false, false, 200},
    };
    for (const auto& c : cases) {
        KECommandLineInfo info;
        info.ParseArguments(c.args);
        std::wstring joined;
        for (const auto& a : c.args) joined += a + L" ";
        SCOPED_TRACE(std::string(joined.begin(), joined.end()));
        EXPECT_EQ(info.m_bCloseRunning, c.close);
        EXPECT_EQ(info.m_bSilent, c.silent);
        EXPECT_EQ(info.m_nSplashDurationMs, c.splashMs);
    }
}

TEST(LeadingInteger, ReadsLikeTheRuntimeConversionAndSaturates)
{
    const std::pair<std::wstring, int> cases[] = {
        {L"42", 42},          {L"  7x", 7},         {L"+5", 5},        {L"-12", -12},
        {L"", 0},             {L"abc", 0},          {L"-", 0},         {L"2147483647", 2147483647},
        {L"2147483648", 2147483647}, {L"-2147483649", -2147483647 - 1},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(zv::launcher::LeadingInteger(text), expected);
}

TEST(SplitCommand, SeparatesTheProgramFromItsArguments)
{
    struct Case {
        std::wstring value, program, arguments;
    };
    const Case cases[] = {
        {LR"("C:\Program Files\Q\KVCHHost.exe" -tray)", LR"(C:\Program Files\Q\KVCHHost.exe)", L"-tray"},
        {LR"("C:\Program Files\Q\KVCHHost.exe")", LR"(C:\Program Files\Q\KVCHHost.exe)", L""},
        {LR"(C:\Program Files\Q\KVCHHost.exe -tray)", LR"(C:\Program Files\Q\KVCHHost.exe)", L"-tray"},
        {LR"(C:\Program Files\Q\KVCHHOST.EXE  -a  -b )", LR"(C:\Program Files\Q\KVCHHOST.EXE)", L"-a  -b"},
        {LR"(C:\Program Files\Q\KVCHHost.exe)", LR"(C:\Program Files\Q\KVCHHost.exe)", L""},
        // Only ".exe" and ".EXE" end the program in an unquoted value.
        {LR"(C:\Q\KVCHHost.Exe -tray)", LR"(C:\Q\KVCHHost.Exe -tray)", L""},
        // Without an opening quote the first character stays, and a stray quote ends no program.
        {LR"(C:\Q\KVCHHost.exe" -tray)", LR"(C:\Q\KVCHHost.exe" -tray)", L""},
        // An opening quote that is never closed: the rest is the program.
        {LR"("C:\Q\KVCHHost.exe -tray)", LR"(C:\Q\KVCHHost.exe -tray)", L""},
        {L"", L"", L""},
        {L"\"", L"", L""},
        {L".exe x", L".exe", L"x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.value.begin(), c.value.end()));
        auto parts = zv::launcher::SplitCommand(c.value);
        EXPECT_EQ(parts.program, c.program);
        EXPECT_EQ(parts.arguments, c.arguments);
        std::wstring cleaned = c.value;
        zv::launcher::CleanCommandPath(cleaned);
        EXPECT_EQ(cleaned, c.program);
    }
}

TEST(IsAbsoluteWindowsPath, AcceptsOnlyDriveRootedAndUncPaths)
{
    const std::pair<std::wstring, bool> cases[] = {
        {LR"(C:\x.exe)", true}, {LR"(z:/x.exe)", true}, {LR"(\\server\share\x.exe)", true},
        {LR"(C:x.exe)", false}, {LR"(\x.exe)", false},  {L"x.exe", false},
        {LR"(.\x.exe)", false}, {L"", false},            {LR"(1:\x.exe)", false},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(zv::launcher::IsAbsoluteWindowsPath(path), expected) << std::string(path.begin(), path.end());
}

} // namespace
