#include "launcher/instance_check.h"

#include "updater/base/win32/path_helpers.h"

#include <cstring>
#include <vector>

namespace zv::launcher {
namespace {

constexpr wchar_t kMappingPrefix[] = L"CQuorInstanceCheck_MMF_";
constexpr DWORD kMappingSize = 8;

// The created mapping lives as long as the process: later starts find it until we exit.
fw::CHandle& ProcessMapping()
{
    static fw::CHandle mapping;
    return mapping;
}

} // namespace

std::wstring CQuorInstanceCheck::AppNameFromModulePath(const std::wstring& modulePath)
{
    size_t slash = modulePath.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? modulePath : modulePath.substr(slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    return name;
}

CQuorInstanceCheck::CQuorInstanceCheck() : CQuorInstanceCheck(AppNameFromModulePath(zv::ModulePath())) {}

CQuorInstanceCheck::CQuorInstanceCheck(const std::wstring& appName)
    : m_mappingName(kMappingPrefix + appName), m_lock(::CreateMutexW(nullptr, FALSE, nullptr))
{
}

bool CQuorInstanceCheck::IsAnotherInstanceRunning()
{
    m_probe.Reset(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, m_mappingName.c_str()));
    return m_probe.IsValid();
}

InstanceClaim CQuorInstanceCheck::ClaimFirstInstance()
{
    if (IsAnotherInstanceRunning()) return InstanceClaim::AlreadyRunning;

    fw::CHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kMappingSize,
                                             m_mappingName.c_str()));
    if (!mapping) return InstanceClaim::Unprotected;
    // Create-or-open is one step in the kernel: whoever did not create it is not first.
    if (::GetLastError() == ERROR_ALREADY_EXISTS) return InstanceClaim::AlreadyRunning;

    fw::CMappedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kMappingSize));
    ProcessMapping() = std::move(mapping);
    if (view) {
        // No reader uses the content; the main window does not exist yet, so it holds 0.
        const unsigned long long mainWindow = 0;
        if (m_lock) ::WaitForSingleObject(m_lock.Get(), INFINITE);
        std::memcpy(view.Get(), &mainWindow, sizeof(mainWindow));
        if (m_lock) ::ReleaseMutex(m_lock.Get());
    }
    // The mapping exists and is ours whether or not its content could be written.
    return InstanceClaim::First;
}

} // namespace zv::launcher
