#pragma once
// The process-wide table of HID functions, bound from "hid.dll" at run time so that the
// launcher starts on systems without it. A call through a missing entry fails.
#include "framework/handle.h"

#include <windows.h>

#include <hidsdi.h>

namespace zv::launcher {

class HidFunctions {
public:
    // Binds once, on first use.
    static const HidFunctions& Instance();

    bool IsBound() const noexcept { return m_module != nullptr; }

    bool GetHidGuid(GUID* guid) const noexcept;
    bool GetAttributes(HANDLE device, HIDD_ATTRIBUTES* attributes) const noexcept;
    bool SetFeature(HANDLE device, void* report, ULONG length) const noexcept;
    bool GetFeature(HANDLE device, void* report, ULONG length) const noexcept;
    bool GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) const noexcept;
    bool FreePreparsedData(PHIDP_PREPARSED_DATA data) const noexcept;
    bool GetCaps(PHIDP_PREPARSED_DATA data, HIDP_CAPS* caps) const noexcept;

private:
    HidFunctions() noexcept;

    fw::CModule m_loaded;       // set when this table loaded the library itself
    HMODULE m_module = nullptr; // the library in use, loaded by us or before us
    void(__stdcall* m_getHidGuid)(GUID*) = nullptr;
    BOOLEAN(__stdcall* m_getAttributes)(HANDLE, HIDD_ATTRIBUTES*) = nullptr;
    BOOLEAN(__stdcall* m_setFeature)(HANDLE, void*, ULONG) = nullptr;
    BOOLEAN(__stdcall* m_getFeature)(HANDLE, void*, ULONG) = nullptr;
    BOOLEAN(__stdcall* m_getPreparsedData)(HANDLE, PHIDP_PREPARSED_DATA*) = nullptr;
    BOOLEAN(__stdcall* m_freePreparsedData)(PHIDP_PREPARSED_DATA) = nullptr;
    NTSTATUS(__stdcall* m_getCaps)(PHIDP_PREPARSED_DATA, HIDP_CAPS*) = nullptr;
};

} // namespace zv::launcher
