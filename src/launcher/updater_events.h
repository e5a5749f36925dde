#pragma once
// The updater worker's callbacks: made on the worker thread at the start and end of each
// step. The progress window implements them; the worker and the window share this one
// definition.
namespace zv::launcher {

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

} // namespace zv::launcher
