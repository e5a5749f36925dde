#pragma once
// What the progress window sees of the updater worker thread: the six callbacks the worker
// makes on its own thread, and the requests the window sends it.
#include "launcher/updater_events.h"

namespace zv::skin {

// The worker's callbacks, as the worker itself declares them.
using launcher::IKVCHUpdaterEvents;

// The worker as the window drives it. Stop (main thread) stops the callbacks, cancels the
// work, waits for the worker's end and frees this object; the window then forgets it.
class IProgressWorker {
public:
    virtual ~IProgressWorker() = default;
    virtual void RequestCheck() = 0;
    virtual void RequestDownload() = 0;
    virtual void RequestInstall() = 0;
    virtual void CancelWork() = 0;
    virtual int IsInternetConnected() = 0;
    virtual void Stop() = 0;
};

// The application's share: detection, brand and launch of the utility (main thread).
class IProgressHost {
public:
    virtual ~IProgressHost() = default;
    virtual bool IsUtilityInstalled() = 0;
    virtual bool IsRegionalBrand() = 0;
    virtual void LaunchUtility() = 0;
};

} // namespace zv::skin
