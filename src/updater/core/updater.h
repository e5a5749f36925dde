#pragma once
// ZvLib_CUpdater: the facade a host calls. It owns one CUpdaterImp, created by
// Initialize; every operation other than Initialize and IsInitialized forwards to it
// and, without one, answers its documented default without doing anything.
#include <memory>
#include <string>
#include <vector>

class CUpdaterImp;
class ZvLib_CRequestGroupInfo;
class ZvLib_CInstallResult;
class ZvLib_IDownloadEvents;
class ZvLib_IInstallEvents;

namespace zv::expr {
class IMachine;
}

class ZvLib_CUpdater {
public:
    static constexpr int kVersionMajor = 2;
    static constexpr int kVersionMinor = 40;
    static constexpr int kVersionBuild = 40;
    // "2.40.40".
    static std::wstring LibraryVersion();

    // The machine the process runs on, or another one for tests and tools; it must
    // outlive the facade.
    ZvLib_CUpdater();
    explicit ZvLib_CUpdater(zv::expr::IMachine& machine);
    virtual ~ZvLib_CUpdater();
    ZvLib_CUpdater(const ZvLib_CUpdater&) = delete;
    ZvLib_CUpdater& operator=(const ZvLib_CUpdater&) = delete;

    int Initialize();
    int IsInitialized() const { return imp ? 1 : 0; }
    void SetCancelEventName(const std::wstring& name);
    // Sets *out to the new group (null first, and null without an implementation);
    // returns 1, or 0 when there is no implementation or no out pointer.
    int CreateRequestGroupInfo(ZvLib_CRequestGroupInfo** out);

    // The download and install steps (Windows); without an implementation they do
    // nothing and answer 1, with both out flags cleared.
    int DownloadInstallables(unsigned& userCanceled, unsigned& connectionError, ZvLib_IDownloadEvents* sink);
    int InstallInstallables(std::vector<ZvLib_CInstallResult>* results, ZvLib_IInstallEvents* sink);

    // The implementation, for the library's own operations; null before Initialize.
    CUpdaterImp* Imp() const { return imp.get(); }

private:
    zv::expr::IMachine& m_machine;
    std::unique_ptr<CUpdaterImp> imp;
};
