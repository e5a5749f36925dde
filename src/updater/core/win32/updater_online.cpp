// The facade's network operations (WinINet).
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"

#include <windows.h>
#include <wininet.h>

int ZvLib_CUpdater::IsInternetConnected() const
{
    if (!imp) return 0;
    DWORD flags = 0;
    // A machine that reaches the Internet only through a proxy still counts.
    if (!::InternetGetConnectedState(&flags, 0)) return 0;
    if (m_serverAddress.empty()) return 1;
    return ::InternetCheckConnectionW(m_serverAddress.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) ? 1 : 0;
}

int ZvLib_CUpdater::CheckForInstallables2(int obtainManifest, int useOtherSources, int requestGroupId)
{
    if (!imp) return 0;
    return imp->CheckForInstallables2(obtainManifest, useOtherSources, requestGroupId);
}
