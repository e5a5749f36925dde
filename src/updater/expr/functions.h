#pragma once
// The built-in functions of ZVExpr (their table is in zv_expr.cpp). Each receives the
// checked, evaluated arguments, fills the result and returns nonzero on success; what
// they ask of the machine goes through the calling expression's IMachine.
#include "updater/expr/expression.h"

namespace zv::expr {
namespace fn {

using com_quorvane_value::CValue;

#define ZV_EXPR_FUNCTION(name) int name(ExprArgs& args, CValue& result, CExpression& expr)

// Operating system, processor, memory, power, display, devices (functions_system.cpp).
ZV_EXPR_FUNCTION(SysVer);
ZV_EXPR_FUNCTION(ServPackVer);
ZV_EXPR_FUNCTION(VerCompare);
ZV_EXPR_FUNCTION(IsNT);
ZV_EXPR_FUNCTION(OSPlatformID);
ZV_EXPR_FUNCTION(OSProductType);
ZV_EXPR_FUNCTION(OSBitSize);
ZV_EXPR_FUNCTION(SystemEnum);
ZV_EXPR_FUNCTION(VidCompare);
ZV_EXPR_FUNCTION(MemorySize);
ZV_EXPR_FUNCTION(ProcSpeed);
ZV_EXPR_FUNCTION(ProcNumber);
ZV_EXPR_FUNCTION(BatteryLevel);
ZV_EXPR_FUNCTION(MemoryAvailable);
ZV_EXPR_FUNCTION(USBHubCount);

// Registry (functions_registry.cpp).
ZV_EXPR_FUNCTION(RegVal);
ZV_EXPR_FUNCTION(RegValExists);
ZV_EXPR_FUNCTION(RegKeyExists);
ZV_EXPR_FUNCTION(DirectXVer);
ZV_EXPR_FUNCTION(IEVer);
ZV_EXPR_FUNCTION(SetRegVal);

// Files and Windows Installer (functions_files.cpp).
ZV_EXPR_FUNCTION(FileVer);
ZV_EXPR_FUNCTION(MSIVer);
ZV_EXPR_FUNCTION(FileExists);
ZV_EXPR_FUNCTION(AvailableDiskSpace);
ZV_EXPR_FUNCTION(MSIProductInstalled);
ZV_EXPR_FUNCTION(MSIPackageInstalled);

// Texts, variables and the updater's own values (functions_text.cpp).
ZV_EXPR_FUNCTION(SubStr);
ZV_EXPR_FUNCTION(CrackPath);
ZV_EXPR_FUNCTION(SetVar);
ZV_EXPR_FUNCTION(Brand);
ZV_EXPR_FUNCTION(UBit);
ZV_EXPR_FUNCTION(UOs);
ZV_EXPR_FUNCTION(UPo);

// Top-level windows and messages (functions_windows.cpp).
ZV_EXPR_FUNCTION(FindWindow);
ZV_EXPR_FUNCTION(FindWindowClass);
ZV_EXPR_FUNCTION(FindWindowName);
ZV_EXPR_FUNCTION(PostMessage);
ZV_EXPR_FUNCTION(SendMessage);
ZV_EXPR_FUNCTION(RegisterWindowMessage);

#undef ZV_EXPR_FUNCTION

} // namespace fn
} // namespace zv::expr
