#include "updater/base/win32/event_helpers.h"

#include "framework/handle.h"
#include "support/debug_stream_capture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring UniqueEventName(const wchar_t* base)
{
    return std::wstring(L"Local\\zvtest.") + base + L"." + std::to_wstring(::GetCurrentProcessId());
}

class EventHelpers : public ::testing::Test {
protected:
    zv::test::DebugStreamCapture capture;
    std::vector<std::string> Lines()
    {
        capture.Drain();
        auto t = capture.Texts();
        capture.Clear();
        return t;
    }
};

TEST_F(EventHelpers, RebootCodeWithoutEventLogsAndDoesNotThrow)
{
    ASSERT_TRUE(capture.IsReady());
    std::wstring name = UniqueEventName(L"missing");
    EXPECT_NO_THROW(InterpretRebootCode(3010, 3010, name, L"ZvInstallPST", L"reboot-required event", 1));
    auto lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[Info1] ZvInstallPST: ===== Return value indicates the package requested a reboot. Retval (3010).\n");
    EXPECT_EQ(lines[1], "[Info1] ZvInstallPST: ===> Begin Attempting to signal the [reboot-required event] to communicate "
                        "with other threads.\n");
    EXPECT_EQ(lines[2], "[Error] ZvInstallPST: ==== FAIL: Failed to open the [reboot-required event] event. GetLastError "
                        "0x2 (2)\n");
    EXPECT_EQ(lines.back(), "[Info1] ZvInstallPST: ===< End.\n");
}

TEST_F(EventHelpers, NoRebootShowsCodeAndReference)
{
    InterpretRebootCode(0, 3010, UniqueEventName(L"unused"), L"ZvInstallPST", L"reboot-required event", 1);
    EXPECT_EQ(Lines(), std::vector<std::string>{
                           "[Info1] ZvInstallPST: ===== Return value indicates no need to reboot. Retval (0), reference:(3010)\n"});
}

TEST_F(EventHelpers, SignalsAnExistingEventAndReportsItsEarlierState)
{
    std::wstring name = UniqueEventName(L"reboot");
    zv::fw::CHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(event);

    EXPECT_EQ(CheckEventSignaled(name, L"L", L"ev", 1), 0);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"[Info1] L: ====> Begin Checking state of the [ev] event.\n",
                                                 "[Info1] L: ===== Opened the [ev] event for synchronization.\n",
                                                 "[Info1] L: ===== The [ev] event is in the non-signaled state.\n",
                                                 "[Info1] L: ====< End, returning 0\n"}));

    InterpretRebootCode(3010, 3010, name, L"L", L"ev", 1);
    EXPECT_EQ(::WaitForSingleObject(event.Get(), 0), WAIT_OBJECT_0);
    auto lines = Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[Info1] L: ==== PASS: Set (SIGNALED) the [ev] event. Was non-signaled.\n"),
              lines.end());

    SignalEvent(name, L"L", L"ev", L"again", 1);
    lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[Info1] L: ===== The [ev] event is already SIGNALED.\n"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[Info1] L: ==== INFO: Set (SIGNALED) the [ev] event. Was SIGNALED.\n"),
              lines.end());
    EXPECT_EQ(CheckEventSignaled(name, L"L", L"ev", 0), 1);
}

TEST_F(EventHelpers, NotVerboseMeansSilent)
{
    InterpretRebootCode(3010, 3010, UniqueEventName(L"quiet"), L"L", L"ev", 0);
    EXPECT_EQ(CheckEventSignaled(UniqueEventName(L"quiet"), L"L", L"ev", 0), 0);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(EventHelpers, MissingEventIsNotSignalledAndWaitFailureIsLogged)
{
    EXPECT_EQ(CheckEventSignaled(UniqueEventName(L"none"), L"L", L"ev", 1), 0);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "[Error] L: ===== Failed to open the [ev] event. GetLastError 0x2 (2)\n");
    EXPECT_EQ(lines[2].rfind("[Error] L: ===== The [ev] event cound not be waited upon. This is unexpected. GetLastError", 0), 0u);
    EXPECT_EQ(lines[3], "[Info1] L: ====< End, returning 0\n");
}

} // namespace
