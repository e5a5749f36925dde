// The facade's download and install steps.
#include "updater/core/install_result.h"
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"

int ZvLib_CUpdater::DownloadInstallables(unsigned& userCanceled, unsigned& connectionError, ZvLib_IDownloadEvents* sink)
{
    userCanceled = 0;
    connectionError = 0;
    return imp ? imp->DownloadInstallables(userCanceled, connectionError, sink) : 1;
}

int ZvLib_CUpdater::InstallInstallables(std::vector<ZvLib_CInstallResult>* results, ZvLib_IInstallEvents* sink)
{
    return imp ? imp->InstallInstallables(results, sink) : 1;
}
