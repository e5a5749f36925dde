// Test helper: one launcher-like start that claims the single-instance mapping.
// Usage: instance_probe TAG. Exit 10: first instance (held until "zvtest_TAG_release");
// 20: saw the mapping at the probe; 21: lost the atomic create; 30: unprotected.
#include "launcher/instance_check.h"

#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 2;
    const std::wstring tag = argv[1];
    zv::fw::CHandle started(::OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, (L"zvtest_" + tag + L"_started").c_str()));
    zv::fw::CHandle go(::OpenEventW(SYNCHRONIZE, FALSE, (L"zvtest_" + tag + L"_go").c_str()));
    zv::fw::CHandle release(::OpenEventW(SYNCHRONIZE, FALSE, (L"zvtest_" + tag + L"_release").c_str()));
    if (started) ::ReleaseSemaphore(started.Get(), 1, nullptr);
    // All starts wait here so that they probe at the same moment.
    if (go) ::WaitForSingleObject(go.Get(), 20000);

    zv::launcher::CQuorInstanceCheck check;
    if (check.IsAnotherInstanceRunning()) return 20;
    switch (check.ClaimFirstInstance()) {
    case zv::launcher::InstanceClaim::AlreadyRunning:
        return 21;
    case zv::launcher::InstanceClaim::Unprotected:
        return 30;
    case zv::launcher::InstanceClaim::First:
        break;
    }
    if (release) ::WaitForSingleObject(release.Get(), 30000);
    return 10;
}
