// Built-in functions that read and write the registry.
#include "updater/expr/functions.h"

#include "updater/expr/machine.h"
#include "updater/expr/registry_path.h"

namespace zv::expr {
namespace fn {

namespace {

// RegVal's work: the value, or the default when the key or value is missing.
int ReadValue(IMachine& machine, const RegPath& p, const std::wstring& name, const CValue* fallback, CValue& result)
{
    RegData data;
    switch (machine.ReadRegValue(p.root, p.subkey, name, data)) {
    case RegQuery::Ok: result = ValueFromRegData(data); return 1;
    case RegQuery::Missing:
        if (!fallback) return 0; // no default: the internal callers fail
        result = *fallback;
        return 1;
    case RegQuery::Failed: break;
    }
    return 0;
}

int WellKnownVersion(CExpression& expr, const wchar_t* subkey, CValue& result)
{
    return ReadValue(expr.Machine(), RegPath{RegRoot::LocalMachine, subkey}, L"Version", nullptr, result);
}

} // namespace

int RegVal(ExprArgs& args, CValue& result, CExpression& expr)
{
    // The optional fourth argument (a registry view) changes nothing.
    return ReadValue(expr.Machine(), ParseRegPath(args[0].AsText()), args[1].AsText(), &args[2], result);
}

int RegValExists(ExprArgs& args, CValue& result, CExpression& expr)
{
    RegPath p = ParseRegPath(args[0].AsText());
    result = CValue::UInt(expr.Machine().RegValueExists(p.root, p.subkey, args[1].AsText()) ? 1 : 0);
    return 1;
}

int RegKeyExists(ExprArgs& args, CValue& result, CExpression& expr)
{
    RegPath p = ParseRegPath(args[0].AsText());
    result = CValue::UInt(expr.Machine().RegKeyExists(p.root, p.subkey) ? 1 : 0);
    return 1;
}

int DirectXVer(ExprArgs&, CValue& result, CExpression& expr)
{
    return WellKnownVersion(expr, L"SOFTWARE\\Microsoft\\DirectX", result);
}

int IEVer(ExprArgs&, CValue& result, CExpression& expr)
{
    return WellKnownVersion(expr, L"SOFTWARE\\Microsoft\\Internet Explorer", result);
}

int SetRegVal(ExprArgs& args, CValue& result, CExpression& expr)
{
    if (!expr.Machine().WriteRegString(RegRoot::CurrentUser, L"Software\\Quorvane\\Install", args[0].AsText(), args[1].AsText()))
        return 0;
    result = CValue::Text(std::wstring());
    return 1;
}

} // namespace fn
} // namespace zv::expr
