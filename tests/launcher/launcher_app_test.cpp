#include "launcher/launcher_app.h"

#include "launcher/instance_check.h"
#include "launcher/launcher_messages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using zv::launcher::CVeskLaunchTandemixAppApp;

// Records what the application asks of the progress window; the first Show ends the run
// the way a later "/x" start would, by closing the controller window.
class RecordingProgressHost : public zv::launcher::IProgressWindowHost {
public:
    RecordingProgressHost(std::vector<std::wstring>& log, CVeskLaunchTandemixAppApp& app) : m_log(log), m_app(app) {}
    void Show(int periodMs) override
    {
        m_log.push_back(L"show " + std::to_wstring(periodMs));
        ::PostMessageW(::FindWindowW(zv::launcher::kControllerWndClass, nullptr), WM_CLOSE, 0, 0);
    }
    void Close() override
    {
        // The controller object (and its receiver watcher) must still exist: the progress
        // window goes first.
        m_log.push_back(m_app.m_pControllerWnd ? L"close, controller alive" : L"close, controller gone");
    }

private:
    std::vector<std::wstring>& m_log;
    CVeskLaunchTandemixAppApp& m_app;
};

// One run per process: the first run keeps the single-instance mapping until the process ends.
TEST(CVeskLaunchTandemixAppApp, RunsShowsTheProgressWindowAndShutsDownInOrder)
{
    std::vector<std::wstring> log;
    {
        CVeskLaunchTandemixAppApp app({L"/splash_duration:3000", L"ignored.txt"});
        app.SetProgressWindowHost(std::make_unique<RecordingProgressHost>(log, app));
        EXPECT_EQ(app.Run(), 0);
        EXPECT_EQ(app.m_pControllerWnd, nullptr);
    }
    EXPECT_EQ(log, (std::vector<std::wstring>{L"show 3000", L"close, controller alive"}));
    EXPECT_EQ(::FindWindowW(zv::launcher::kControllerWndClass, nullptr), nullptr);
    EXPECT_TRUE(zv::launcher::CQuorInstanceCheck().IsAnotherInstanceRunning());
    // COM was released as often as it was taken: this thread can start it afresh.
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(hr, S_OK);
    if (SUCCEEDED(hr)) ::CoUninitialize();
}

} // namespace
