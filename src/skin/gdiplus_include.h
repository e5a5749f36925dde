#pragma once
// GDI+ expects min and max and the COM headers that the lean Windows header leaves out.
#include <windows.h>

#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>
