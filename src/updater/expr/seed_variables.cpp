#include "updater/expr/seed_variables.h"

#include "updater/expr/machine.h"
#include "updater/expr/zv_expr.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

namespace zv::expr {

using com_quorvane_value::CValue;
using com_quorvane_value::VariableTable;

std::wstring TempDirectory(IMachine& machine, bool& ok)
{
    std::wstring temp;
    ok = machine.GetRuntimeEnvironment(L"TEMP", temp) && !temp.empty();
    return ok ? temp + L"\\" : std::wstring();
}

bool EvaluateToText(ZVExpr& evaluator, const VariableTable& vars, const std::wstring& expression, std::wstring& out)
{
    evaluator.CopyVariables(vars);
    return EvaluateToText(evaluator, expression, out);
}

bool EvaluateToText(ZVExpr& evaluator, const std::wstring& expression, std::wstring& out)
{
    evaluator.SetExpression(expression);
    CValue value;
    if (!evaluator.Evaluate(value)) {
        out = expression;
        return false;
    }
    out = value.AsText();
    return true;
}

void SetTableVariable(VariableTable& vars, const std::wstring& name, const CValue& value)
{
    auto& slot = vars[name];
    if (slot) *slot = value;
    else slot = std::make_unique<CValue>(value);
}

void SeedUpdaterVariables(IMachine& machine, const std::wstring& tempDir, VariableTable& vars)
{
    SetTableVariable(vars, L"rebootrequired", CValue::Int(0));
    std::wstring tempdir = tempDir;
    while (!tempdir.empty() && tempdir.back() == L'\\') tempdir.pop_back();
    SetTableVariable(vars, L"tempdir", CValue::Text(tempdir));

    ZVExpr evaluator(machine);
    const struct {
        const wchar_t* name;
        const wchar_t* expression;
    } computed[] = {{L"os", L"UOs()"}, {L"bitness", L"OSBitSize()"}, {L"brand", L"UBrand()"}};
    for (const auto& c : computed) {
        std::wstring text;
        EvaluateToText(evaluator, vars, c.expression, text);
        SetTableVariable(vars, c.name, CValue::Text(text));
    }

    const struct {
        const wchar_t* name;
        int csidl;
    } folders[] = {{L"windir", 36},       {L"sysdir", 37},       {L"userappdir", 26},
                   {L"userdocdir", 5},    {L"programfiles", 38}, {L"commonappdata", 35}};
    for (const auto& f : folders) {
        std::wstring path, step;
        long code = 0;
        if (machine.GetSpecialFolder(f.csidl, path, step, code)) SetTableVariable(vars, f.name, CValue::Text(path));
        else zv::Log().Log(zv::ZVLOG_INFO2, L"Failed to get Windows Directory [%s] '%d'", step.c_str(), static_cast<int>(code));
    }

    std::wstring programDir = machine.ProgramDirectory();
    SetTableVariable(vars, L"parentdir", CValue::Text(programDir.size() <= 2 ? std::wstring() : GetDirectoryPart(programDir)));

    std::wstring abbreviation;
    uint16_t id = 0;
    if (machine.GetUiLanguage(abbreviation, id)) {
        SetTableVariable(vars, L"lang", CValue::Text(abbreviation));
        SetTableVariable(vars, L"langid", CValue::Int(id));
        SetTableVariable(vars, L"langhexid", CValue::Text(zv::Format(16, L"%04x", id)));
    }
}

} // namespace zv::expr
