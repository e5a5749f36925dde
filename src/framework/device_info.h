#pragma once
// Owner of a SetupAPI device-information set.
#include "framework/handle.h"

#include <windows.h>
#include <setupapi.h>

namespace zv::fw {

struct DeviceInfoSetTraits {
    using Handle = HDEVINFO;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::SetupDiDestroyDeviceInfoList(h); }
};
using CDeviceInfoSet = UniqueHandle<DeviceInfoSetTraits>;

} // namespace zv::fw
