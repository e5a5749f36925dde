// Built-in functions about top-level windows and window messages.
#include "updater/expr/functions.h"

#include "updater/expr/machine.h"
#include "updater/base/log.h"

namespace zv::expr {
namespace fn {

namespace {

// Window handles travel as unsigned 32-bit values; a wider handle is cut and reported.
int HandleResult(const wchar_t* function, uint64_t window, CValue& result)
{
    uint32_t cut = static_cast<uint32_t>(window);
    if (cut != window)
        zv::Log().Log(zv::ZVLOG_INFO2, L"%s, WARNING: cast from HWND to DWORD was a lossy conversion! original: %llu, result: %u\n", function,
                    static_cast<unsigned long long>(window), cut);
    result = CValue::UInt(cut);
    return 1;
}

// The handle back from the integer form, sign-extended as Windows widens 32-bit handles.
uint64_t HandleArg(const CValue& v)
{
    return static_cast<uint64_t>(static_cast<int64_t>(v.AsInt()));
}

} // namespace

int FindWindow(ExprArgs& args, CValue& result, CExpression& expr)
{
    std::wstring cls = args[0].AsText(), title = args[1].AsText();
    return HandleResult(L"ZVExpr::FindWindow", expr.Machine().FindTopLevelWindow(&cls, &title), result);
}

int FindWindowClass(ExprArgs& args, CValue& result, CExpression& expr)
{
    std::wstring cls = args[0].AsText();
    return HandleResult(L"ZVExpr::FindWindowClass", expr.Machine().FindTopLevelWindow(&cls, nullptr), result);
}

int FindWindowName(ExprArgs& args, CValue& result, CExpression& expr)
{
    std::wstring title = args[0].AsText();
    return HandleResult(L"ZVExpr::FindWindowName", expr.Machine().FindTopLevelWindow(nullptr, &title), result);
}

int PostMessage(ExprArgs& args, CValue& result, CExpression& expr)
{
    expr.Machine().PostWindowMessage(HandleArg(args[0]), args[1].AsUInt(), args[2].AsUInt(), args[3].AsInt());
    result = CValue::Int(1);
    return 1;
}

int SendMessage(ExprArgs& args, CValue& result, CExpression& expr)
{
    expr.Machine().SendWindowMessage(HandleArg(args[0]), args[1].AsUInt(), args[2].AsUInt(), args[3].AsInt());
    result = CValue::Int(1);
    return 1;
}

int RegisterWindowMessage(ExprArgs& args, CValue& result, CExpression& expr)
{
    result = CValue::Int(static_cast<int32_t>(expr.Machine().RegisterWindowMessageName(args[0].AsText())));
    return 1;
}

} // namespace fn
} // namespace zv::expr
