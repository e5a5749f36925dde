// Built-in functions that only compute: texts, paths, variables, the updater's values.
#include "updater/expr/functions.h"

#include "updater/expr/os_info.h"
#include "updater/expr/zv_expr.h"

#include <cwctype>

namespace zv::expr {
namespace fn {

int SubStr(ExprArgs& args, CValue& result, CExpression&)
{
    const std::wstring& text = args[0].TextPayload();
    int32_t start = args[1].AsInt();
    int32_t count = args[2].AsInt();
    if (start < 1 || static_cast<size_t>(start) > text.size() || count == 0) return 0;
    size_t from = static_cast<size_t>(start) - 1;
    size_t n = count < 0 ? std::wstring::npos : static_cast<size_t>(count);
    result = CValue::Text(text.substr(from, n));
    return 1;
}

int CrackPath(ExprArgs& args, CValue& result, CExpression&)
{
    // Splits as the C runtime's path splitter does: drive, folder, name, extension.
    const std::wstring& path = args[0].TextPayload();
    size_t pos = 0;
    std::wstring drive;
    if (path.size() >= 2 && path[1] == L':') {
        drive = path.substr(0, 2);
        pos = 2;
    }
    size_t lastSep = path.find_last_of(L"\\/");
    std::wstring dir;
    if (lastSep != std::wstring::npos && lastSep >= pos) {
        dir = path.substr(pos, lastSep + 1 - pos);
        pos = lastSep + 1;
    }
    std::wstring file = path.substr(pos);
    size_t dot = file.rfind(L'.');
    std::wstring name = dot == std::wstring::npos ? file : file.substr(0, dot);
    std::wstring ext = dot == std::wstring::npos ? std::wstring() : file.substr(dot);
    switch (args[1].AsInt()) {
    case 1: result = CValue::Text(drive); break;
    case 2: result = CValue::Text(dir); break;
    case 3: result = CValue::Text(name); break;
    case 4: result = CValue::Text(ext); break;
    default: result = CValue::Text(std::wstring()); break;
    }
    return 1;
}

int SetVar(ExprArgs& args, CValue& result, CExpression& expr)
{
    expr.SetVariable(args[0].AsText(), args[1]);
    result = CValue::Text(args[1].AsText());
    return 1;
}

int Brand(ExprArgs&, CValue& result, CExpression&)
{
    std::wstring brand = LoadedGroupBrand();
    for (auto& c : brand)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        else if (c > 0x7F) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    result = CValue::Text(brand);
    return 1;
}

int UBit(ExprArgs&, CValue& result, CExpression&)
{
    result = CValue::Int(64);
    return 1;
}

int UOs(ExprArgs&, CValue& result, CExpression& expr)
{
    result = CValue::Text(PaddedOsCode(ClassifyOs(expr.Machine()).osCode));
    return 1;
}

int UPo(ExprArgs&, CValue& result, CExpression&)
{
    result = CValue::Text(LoadedGroupProductOption());
    return 1;
}

} // namespace fn
} // namespace zv::expr
