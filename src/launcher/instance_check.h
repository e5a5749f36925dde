#pragma once
// Keeps the launcher to one instance per session through a named file mapping,
// "CQuorInstanceCheck_MMF_" followed by the executable's base name.
#include "framework/handle.h"

#include <string>

namespace zv::launcher {

enum class InstanceClaim {
    First,          // this process created the mapping and holds it until it exits
    AlreadyRunning, // the mapping exists: another instance owns it
    Unprotected,    // the mapping could not be created; run without the guard
};

class CQuorInstanceCheck {
public:
    // The mapping name follows the running executable's file name.
    CQuorInstanceCheck();
    // For a given application name (the executable's name without folder and extension).
    explicit CQuorInstanceCheck(const std::wstring& appName);
    virtual ~CQuorInstanceCheck() = default;
    CQuorInstanceCheck(const CQuorInstanceCheck&) = delete;
    CQuorInstanceCheck& operator=(const CQuorInstanceCheck&) = delete;

    // A quick look: true when the mapping exists. Not a claim: two processes may both see none.
    bool IsAnotherInstanceRunning();
    // The atomic step: creates the mapping; "already exists" means another instance won.
    InstanceClaim ClaimFirstInstance();
    // True only when this process is now the first instance.
    bool TrackFirstInstance() { return ClaimFirstInstance() == InstanceClaim::First; }

    const std::wstring& MappingName() const noexcept { return m_mappingName; }

    // The executable's base name: "C:\x\VeskLaunchTandemixApp.exe" gives "VeskLaunchTandemixApp".
    static std::wstring AppNameFromModulePath(const std::wstring& modulePath);

private:
    std::wstring m_mappingName;
    fw::CHandle m_lock;  // orders the write of the mapping content within this process
    fw::CHandle m_probe; // the handle of the last probe
};

} // namespace zv::launcher
