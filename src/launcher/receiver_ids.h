#pragma once
// The product's USB receiver as its HID interface identifies itself. Deployment values:
// change them here and nowhere else.
#include <cstdint>

namespace zv::launcher {

inline constexpr uint16_t kReceiverVendorId = 0x2F1C;
inline constexpr uint16_t kReceiverProductId = 0x0A31;
// The receiver's vendor-defined top-level collection.
inline constexpr uint16_t kReceiverUsagePage = 0xFFBC;

} // namespace zv::launcher
