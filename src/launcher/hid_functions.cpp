#include "launcher/hid_functions.h"

#include <string>

namespace zv::launcher {
namespace {

template <class Fn>
void Bind(HMODULE module, const char* name, Fn& fn)
{
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

HMODULE LoadSystemHid()
{
    // From the system folder only: a "hid.dll" beside the launcher must not be picked up.
    wchar_t system[MAX_PATH] = {};
    UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::wstring path = std::wstring(system, n) + L"\\hid.dll";
    return ::LoadLibraryW(path.c_str());
}

} // namespace

const HidFunctions& HidFunctions::Instance()
{
    static const HidFunctions table;
    return table;
}

HidFunctions::HidFunctions() noexcept
{
    m_module = ::GetModuleHandleW(L"hid.dll");
    if (!m_module) {
        m_loaded.Reset(LoadSystemHid());
        m_module = m_loaded.Get();
    }
    if (!m_module) return;
    Bind(m_module, "HidD_GetHidGuid", m_getHidGuid);
    Bind(m_module, "HidD_GetAttributes", m_getAttributes);
    Bind(m_module, "HidD_SetFeature", m_setFeature);
    Bind(m_module, "HidD_GetFeature", m_getFeature);
    Bind(m_module, "HidD_GetPreparsedData", m_getPreparsedData);
    Bind(m_module, "HidD_FreePreparsedData", m_freePreparsedData);
    Bind(m_module, "HidP_GetCaps", m_getCaps);
}

bool HidFunctions::GetHidGuid(GUID* guid) const noexcept
{
    if (!m_getHidGuid) return false;
    m_getHidGuid(guid);
    return true;
}

bool HidFunctions::GetAttributes(HANDLE device, HIDD_ATTRIBUTES* attributes) const noexcept
{
    return m_getAttributes && m_getAttributes(device, attributes);
}

bool HidFunctions::SetFeature(HANDLE device, void* report, ULONG length) const noexcept
{
    return m_setFeature && m_setFeature(device, report, length);
}

bool HidFunctions::GetFeature(HANDLE device, void* report, ULONG length) const noexcept
{
    return m_getFeature && m_getFeature(device, report, length);
}

bool HidFunctions::GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) const noexcept
{
    return m_getPreparsedData && m_getPreparsedData(device, data);
}

bool HidFunctions::FreePreparsedData(PHIDP_PREPARSED_DATA data) const noexcept
{
    return m_freePreparsedData && m_freePreparsedData(data);
}

bool HidFunctions::GetCaps(PHIDP_PREPARSED_DATA data, HIDP_CAPS* caps) const noexcept
{
    return m_getCaps && m_getCaps(data, caps) == HIDP_STATUS_SUCCESS;
}

} // namespace zv::launcher
