#pragma once
// What the progress window sees of the updater worker thread: the six callbacks the worker
// makes on its own thread, and the requests the window sends it.
namespace zv::skin {

class IKVCHUpdaterEvents {
public:
    virtual ~IKVCHUpdaterEvents() = default;
    virtual void OnCheckStarted(int) {}
    virtual void OnCheckFinished(int) {}
    virtual void OnDownloadStarted(int) {}
    virtual void OnDownloadFinished(int) {}
    virtual void OnInstallStarted(int) {}
    virtual void OnInstallFinished(int) {}
};

// The worker as the window drives it. The worker outlives the window's interest in it:
// Stop asks it to end (it deletes itself) and the window forgets it.
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
