// The update steps on the update library's facade.
#include "launcher/update_steps.h"

#include "launcher/host_request_values.h"

#include "updater/core/request_group.h"
#include "updater/core/updater.h"
#include "updater/base/win32/path_helpers.h"

namespace zv::launcher {

namespace {

// The product file beside the executable names the server the connection check asks.
std::wstring ServerOfProductFileBesideModule()
{
    std::wstring path = zv::ModulePath();
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    return ZvLib_CUpdater::ServerAddressOf(path.substr(0, slash + 1) + L"Product.TandemVesk.xml");
}

class LibraryUpdateSteps : public IUpdateSteps {
public:
    LibraryUpdateSteps() : m_updater(ServerOfProductFileBesideModule()) {}
    void Initialize(const std::wstring& cancelEventName) override
    {
        m_updater.Initialize(); // a failure shows in IsInitialized
        m_updater.SetCancelEventName(cancelEventName);
    }
    bool IsInitialized() const override { return m_updater.IsInitialized() != 0; }

    int Check(const CheckRequest& request) override
    {
        ZvLib_CRequestGroupInfo* group = nullptr;
        if (!m_updater.CreateRequestGroupInfo(&group) || !group) return 0;
        auto& config = group->config;
        config.LoadConfigXml(request.productFile, L"2.00"); // defaults stand when it fails
        ApplyHostRequestValues(config, request.installedVersion, request.regionalBrand ? kRegionalBrand : kMainBrand);
        return m_updater.CheckForInstallables2(1, 0, group->id);
    }
    int Download() override
    {
        unsigned userCanceled = 0;
        unsigned connectionError = 0;
        return m_updater.DownloadInstallables(userCanceled, connectionError, nullptr);
    }
    int Install() override { return m_updater.InstallInstallables(nullptr, nullptr); }
    int IsInternetConnected() override { return m_updater.IsInternetConnected(); }

private:
    ZvLib_CUpdater m_updater;
};

} // namespace

std::unique_ptr<IUpdateSteps> CreateLibraryUpdateSteps() { return std::make_unique<LibraryUpdateSteps>(); }

} // namespace zv::launcher
