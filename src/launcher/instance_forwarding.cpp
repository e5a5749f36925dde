#include "launcher/instance_forwarding.h"

#include "launcher/launcher_messages.h"

namespace zv::launcher {

ForwardingResult ForwardToRunningInstance(const KECommandLineInfo& info, const ForwardingPolicy& policy)
{
    ForwardingResult result;
    for (int i = 0; i < policy.lookups; ++i) {
        if (i > 0) ::Sleep(policy.retryDelayMs);
        ++result.lookupsMade;
        result.controller = ::FindWindowW(kControllerWndClass, nullptr);
        if (result.controller) break;
    }
    if (!result.controller) return result; // the running instance is left alone

    if (info.m_bCloseRunning) result.postedClose = ::PostMessageW(result.controller, WM_CLOSE, 0, 0) != FALSE;
    if (!info.m_bSilent) {
        // The period travels sign-extended in wParam; the receiver reads its low 32 bits.
        WPARAM period = static_cast<WPARAM>(static_cast<INT_PTR>(info.m_nSplashDurationMs));
        result.postedShow = ::PostMessageW(result.controller, WM_ZV_SHOW_SPLASH, period, 0) != FALSE;
    }
    return result;
}

} // namespace zv::launcher
