// ZVExpr: environment references, string macros and the built-in function table.
#include "updater/expr/zv_expr.h"

#include "updater/expr/functions.h"
#include "updater/expr/machine.h"

using com_quorvane_value::CValue;

namespace {

// The updater's function table, in its order. Empty signatures take no arguments.
const ExprFunctionEntry kFunctions[] = {
    {L"SysVer", L"", zv::expr::fn::SysVer},
    {L"ServPackVer", L"", zv::expr::fn::ServPackVer},
    {L"VerCompare", L"???????", zv::expr::fn::VerCompare},
    {L"IsNT", L"", zv::expr::fn::IsNT},
    {L"OSPlatformID", L"", zv::expr::fn::OSPlatformID},
    {L"OSProductType", L"", zv::expr::fn::OSProductType},
    {L"OSBitSize", L"", zv::expr::fn::OSBitSize},
    {L"SystemEnum", L"", zv::expr::fn::SystemEnum},
    {L"RegVal", L"SS*", zv::expr::fn::RegVal},
    {L"RegValExists", L"SS", zv::expr::fn::RegValExists},
    {L"RegKeyExists", L"S", zv::expr::fn::RegKeyExists},
    {L"DirectXVer", L"", zv::expr::fn::DirectXVer},
    {L"IEVer", L"", zv::expr::fn::IEVer},
    {L"FileVer", L"S", zv::expr::fn::FileVer},
    {L"MSIVer", L"", zv::expr::fn::MSIVer},
    {L"SubStr", L"SII", zv::expr::fn::SubStr},
    {L"VidCompare", L"III", zv::expr::fn::VidCompare},
    {L"CrackPath", L"SI", zv::expr::fn::CrackPath},
    {L"SetVar", L"V?", zv::expr::fn::SetVar},
    {L"MemorySize", L"", zv::expr::fn::MemorySize},
    {L"ProcSpeed", L"", zv::expr::fn::ProcSpeed},
    {L"ProcNumber", L"", zv::expr::fn::ProcNumber},
    {L"SetRegVal", L"SS", zv::expr::fn::SetRegVal},
    {L"MSIProductInstalled", L"S", zv::expr::fn::MSIProductInstalled},
    {L"MSIPackageInstalled", L"S", zv::expr::fn::MSIPackageInstalled},
    {L"FileExists", L"S", zv::expr::fn::FileExists},
    {L"BatteryLevel", L"", zv::expr::fn::BatteryLevel},
    {L"AvailableDiskSpace", L"S", zv::expr::fn::AvailableDiskSpace},
    {L"MemoryAvailable", L"", zv::expr::fn::MemoryAvailable},
    {L"USBHubCount", L"", zv::expr::fn::USBHubCount},
    {L"FindWindow", L"SS", zv::expr::fn::FindWindow},
    {L"FindWindowClass", L"S", zv::expr::fn::FindWindowClass},
    {L"FindWindowName", L"S", zv::expr::fn::FindWindowName},
    {L"PostMessage", L"IIII", zv::expr::fn::PostMessage},
    {L"SendMessage", L"IIII", zv::expr::fn::SendMessage},
    {L"RegisterWindowMessage", L"S", zv::expr::fn::RegisterWindowMessage},
    {L"brand", L"", zv::expr::fn::Brand},
    {L"UBrand", L"", zv::expr::fn::Brand},
    {L"UBit", L"", zv::expr::fn::UBit},
    {L"UOs", L"", zv::expr::fn::UOs},
    {L"UPo", L"", zv::expr::fn::UPo},
    {nullptr, nullptr, nullptr},
};

std::wstring g_loadedBrand;
std::wstring g_loadedProductOption;

} // namespace

namespace zv::expr {

void SetLoadedGroupInfo(const std::wstring& productBrand, const std::wstring& hostProductOption)
{
    g_loadedBrand = productBrand;
    g_loadedProductOption = hostProductOption;
}

const std::wstring& LoadedGroupBrand()
{
    return g_loadedBrand;
}

const std::wstring& LoadedGroupProductOption()
{
    return g_loadedProductOption;
}

} // namespace zv::expr

ZVExpr::ZVExpr() = default;

ZVExpr::ZVExpr(const std::wstring& text) : CExpression(text) {}

ZVExpr::ZVExpr(zv::expr::IMachine& machine, const std::wstring& text) : CExpression(machine, text) {}

ZVExpr::~ZVExpr() = default;

const ExprFunctionEntry* ZVExpr::Functions()
{
    return kFunctions;
}

const wchar_t* ZVExpr::GetFunctionSignature(const std::wstring& name)
{
    if (const ExprFunctionEntry* e = FindFunction(kFunctions, name)) return e->signature;
    return CExpression::GetFunctionSignature(name);
}

bool ZVExpr::CallFunction(const std::wstring& name, ExprArgs& args, CValue& result)
{
    if (const ExprFunctionEntry* e = FindFunction(kFunctions, name)) return e->function(args, result, *this) != 0;
    return CExpression::CallFunction(name, args, result);
}

ZVExpr::ZVExpr(NestedTag tag, zv::expr::IMachine& machine, std::wstring text) : CExpression(tag, machine, std::move(text)) {}

CValue ZVExpr::EvaluateSubExpression(const std::wstring& text)
{
    if (!ChargeNested(text)) return CValue::Text(text);
    CValue value;
    if (PlainNestedValue(text, value)) return value;
    // Reads this evaluator's variables as a copy of them would.
    ZVExpr nested(NestedTag{}, Machine(), text);
    nested.NestIn(*this);
    if (nested.Evaluate(value)) return value;
    if (nested.LimitExceeded()) FailLimit(nested.GetErrorCode());
    return CValue::Text(text);
}

int ZVExpr::NextToken(CValue& value)
{
    SkipBlanks();
    if (Peek() != L'%') return CExpression::NextToken(value);
    // %NAME% outside a string: an environment reference; the name may hold anything but "%".
    Advance();
    std::wstring name;
    for (wchar_t c; (c = Peek()) != L'%'; Advance()) {
        if (c == L'\0' && !HasMore()) {
            SetError(ERR_TOKEN);
            return TK_UNKNOWN;
        }
        name += c;
    }
    Advance();
    value = CValue::Text(std::move(name));
    return TK_ENV;
}

std::wstring ZVExpr::ReadMacroName()
{
    std::wstring name;
    while (IsIdentChar(Peek())) {
        name += Peek();
        Advance();
    }
    return name;
}

std::wstring ZVExpr::ExpandVariableMacro(const std::wstring& name)
{
    const CValue* value = nullptr;
    if (!FindVariable(name, value)) {
        // The lookup leaves the name behind without a value; it is reported as undeclared.
        DeclareWithoutValue(name);
        return std::wstring();
    }
    if (!value) return std::wstring();
    return EvaluateSubExpression(value->AsText()).AsText();
}

int ZVExpr::ReadString(CValue& value)
{
    Advance(); // opening quote
    std::wstring& text = value.MakeText(); // filled in place
    while (HasMore()) {
        wchar_t c = Peek();
        if (c == L'"') {
            Advance();
            if (HasMore() && Peek() == L'"') {
                text += L'"';
                Advance();
                continue;
            }
            return TK_VALUE;
        }
        if (c != L'<' && c != L'%') {
            // Plain characters up to the next quote or macro, taken at once.
            const std::wstring_view plain = PeekUntil(L'"', L'<', L'%');
            text.append(plain);
            Advance(plain.size());
            continue;
        }
        Advance();
        std::wstring name = ReadMacroName();
        wchar_t end = Peek();
        bool closed = HasMore() && end == (c == L'<' ? L'>' : L'%');
        if (!name.empty() && closed) {
            Advance();
            if (c == L'<') {
                text += ExpandVariableMacro(name);
                if (GetErrorCode() != ERR_OK) return TK_UNKNOWN;
            } else {
                std::wstring env;
                if (Machine().GetEnvironment(name, env)) text += env;
            }
            // Macros may multiply text: a literal is held to the limit of other texts.
            if (text.size() > kMaxTextChars) {
                FailLimit(ERR_NOMEM);
                return TK_UNKNOWN;
            }
            continue;
        }
        // Not a macro: the characters stay as written, with the one that ended the name
        // unless that one closes the literal.
        text += c;
        text += name;
        if (HasMore() && end != L'"') {
            text += end;
            Advance();
        }
    }
    SetError(ERR_TOKEN);
    return TK_UNKNOWN;
}
