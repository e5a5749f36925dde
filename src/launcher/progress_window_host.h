#pragma once
// The application's progress window: the skinned window, driving the process's updater
// worker, with the application's detection and launch of the utility behind it.
#include "launcher/launcher_app.h"
#include "skin/updater_events.h"

namespace zv::launcher {

class CSkinProgressWindowHost final : public IProgressWindowHost, public skin::IProgressHost {
public:
    // Becomes the window's source of services and workers until destroyed.
    explicit CSkinProgressWindowHost(CUtilityLauncher& app);
    ~CSkinProgressWindowHost() override;
    CSkinProgressWindowHost(const CSkinProgressWindowHost&) = delete;
    CSkinProgressWindowHost& operator=(const CSkinProgressWindowHost&) = delete;

    void Show(int periodMs) override;
    void Close() override;

    bool IsUtilityInstalled() override;
    bool IsRegionalBrand() override;
    void LaunchUtility() override;

private:
    CUtilityLauncher& m_app;
};

} // namespace zv::launcher
