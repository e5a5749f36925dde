// Built-in functions about the operating system, processor, memory, power and display.
#include "updater/expr/functions.h"

#include "updater/expr/machine.h"
#include "updater/expr/registry_path.h"
#include "updater/base/text_helpers.h"

namespace zv::expr {
namespace fn {

using namespace com_quorvane_value;

namespace {

constexpr uint64_t kMiB = 1048576;

// A (first, second) version pair, compared by its first element, then its second.
int ComparePair(const Version& a1, const Version& a2, const Version& b1, const Version& b2)
{
    int first = CompareVersions(a1, b1);
    return first != 0 ? first : CompareVersions(a2, b2);
}

} // namespace

int SysVer(ExprArgs&, CValue& result, CExpression& expr)
{
    OsVersion v;
    if (!expr.Machine().GetOsVersion(v)) return 0;
    result = CValue::Text(zv::Format(64, L"%d.%d.%d", static_cast<int>(v.major), static_cast<int>(v.minor), static_cast<int>(v.build)));
    return 1;
}

int ServPackVer(ExprArgs&, CValue& result, CExpression& expr)
{
    OsVersion v;
    if (!expr.Machine().GetOsVersion(v)) v = OsVersion();
    result = CValue::Text(zv::Format(64, L"%d.%d", v.servicePackMajor, v.servicePackMinor));
    return 1;
}

int VerCompare(ExprArgs& args, CValue& result, CExpression& expr)
{
    OsVersion v;
    if (!expr.Machine().GetOsVersion(v) || static_cast<uint32_t>(args[0].AsInt()) != v.platformId) {
        result = CValue::Int(0);
        return 1;
    }
    Version p[6];
    for (int i = 0; i < 6; ++i) p[i] = CValue::ParseVersion(args[i + 1].AsText());
    // args: platform, minA, minB, curA, curB, maxA, maxB
    bool inside = ComparePair(p[2], p[3], p[0], p[1]) >= 0 && ComparePair(p[2], p[3], p[4], p[5]) <= 0;
    result = CValue::Int(inside ? 1 : 0);
    return 1;
}

int IsNT(ExprArgs&, CValue& result, CExpression& expr)
{
    OsVersion v;
    if (!expr.Machine().GetOsVersion(v)) return 0;
    result = CValue::Int(v.platformId == 2 ? 1 : 0);
    return 1;
}

int OSPlatformID(ExprArgs&, CValue& result, CExpression& expr)
{
    OsVersion v;
    if (!expr.Machine().GetOsVersion(v)) return 0;
    result = CValue::UInt(v.platformId);
    return 1;
}

int OSProductType(ExprArgs&, CValue& result, CExpression& expr)
{
    OsVersion v;
    result = CValue::Int(expr.Machine().GetOsVersion(v) ? v.productType : 0);
    return 1;
}

int OSBitSize(ExprArgs&, CValue& result, CExpression&)
{
    result = CValue::Int(64);
    return 1;
}

int SystemEnum(ExprArgs&, CValue& result, CExpression& expr)
{
    OsVersion v;
    if (!expr.Machine().GetOsVersion(v)) return 0;
    int n = 0;
    if (v.platformId == 1) {
        if (v.minor == 0) n = 1;
        else if (v.minor == 10) n = v.build > 2182 ? 3 : 2;
        else if (v.minor == 90) n = 4;
    } else if (v.platformId == 2) {
        if (v.major <= 4) n = 5;
        else if (v.major == 5 && v.minor == 0) n = 6;
        else if (v.major == 5 && (v.minor == 1 || v.minor == 2)) n = 8;
        else if (v.major == 6 && v.minor == 0) n = 10;
        else if (v.major == 6 && v.minor == 1) n = 12;
    }
    result = CValue::Int(n);
    return 1;
}

int VidCompare(ExprArgs& args, CValue& result, CExpression& expr)
{
    DisplayMode d;
    bool ok = expr.Machine().GetDisplayMode(d);
    auto atLeast = [](uint32_t have, int32_t want) { return static_cast<int64_t>(have) >= want; };
    result = CValue::Int(ok && atLeast(d.width, args[0].AsInt()) && atLeast(d.height, args[1].AsInt()) &&
                                 atLeast(d.bitsPerPixel, args[2].AsInt())
                             ? 1
                             : 0);
    return 1;
}

int MemorySize(ExprArgs&, CValue& result, CExpression& expr)
{
    uint64_t total = 0, avail = 0;
    if (!expr.Machine().GetMemory(total, avail)) total = 0;
    result = CValue::UInt(static_cast<uint32_t>(total / kMiB));
    return 1;
}

int MemoryAvailable(ExprArgs&, CValue& result, CExpression& expr)
{
    uint64_t total = 0, avail = 0;
    if (!expr.Machine().GetMemory(total, avail)) avail = 0;
    result = CValue::UInt(static_cast<uint32_t>(avail / kMiB));
    return 1;
}

int ProcSpeed(ExprArgs&, CValue& result, CExpression& expr)
{
    RegData data;
    if (expr.Machine().ReadRegValue(RegRoot::LocalMachine, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"~MHz", data) !=
            RegQuery::Ok ||
        data.type != ZV_REG_DWORD || data.bytes.size() < 4)
        return 0;
    result = CValue::UInt(RegDword(data));
    return 1;
}

int ProcNumber(ExprArgs&, CValue& result, CExpression& expr)
{
    result = CValue::UInt(expr.Machine().ProcessorCount());
    return 1;
}

int BatteryLevel(ExprArgs&, CValue& result, CExpression& expr)
{
    PowerStatus p;
    // Without a power status the call succeeds with no result.
    if (!expr.Machine().GetPowerStatus(p)) return 1;
    result = CValue::UInt(p.acLineStatus != 0 ? 100u : p.batteryLifePercent);
    return 1;
}

int USBHubCount(ExprArgs&, CValue& result, CExpression& expr)
{
    result = CValue::UInt(expr.Machine().UsbHubCount());
    return 1;
}

} // namespace fn
} // namespace zv::expr
