// zvtool eval: evaluates one expression the way the updater does, with its seeded
// variables, and prints the kind and text form of the result.
#include "command.h"

#include "support/fake_machine/fake_machine.h"
#include "updater/expr/machine.h"
#include "updater/expr/seed_variables.h"
#include "updater/expr/zv_expr.h"
#include "updater/base/text_helpers.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>

namespace {

using com_quorvane_value::CValue;

std::wstring ReadStdin()
{
    std::string bytes((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    std::wstring text = zv::FromUtf8(bytes);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

std::wstring Hex(const std::vector<uint8_t>& bytes)
{
    std::wstring out;
    for (uint8_t b : bytes) out += zv::Format(8, L"%02x", b);
    return out;
}

int RunEval(const zv::tool::Args& args)
{
    std::vector<std::pair<std::wstring, std::wstring>> vars;
    std::wstring machineFile, expression;
    bool haveExpression = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == L"--machine") {
            if (!zv::tool::TakeValue(args, i, machineFile)) return zv::tool::UsageError("eval", a + L" needs a value");
        } else if (a == L"--var") {
            std::wstring v, name, value;
            if (!zv::tool::TakeValue(args, i, v)) return zv::tool::UsageError("eval", a + L" needs a value");
            if (!zv::tool::SplitNameValue(v, name, value))
                return zv::tool::UsageError("eval", L"--var wants NAME=VALUE, got '" + v + L"'");
            vars.emplace_back(name, value);
        } else if (a != L"--" && zv::tool::IsOption(a)) {
            // "--" alone is an expression.
            return zv::tool::UsageError("eval", L"unknown option '" + a + L"'");
        } else if (haveExpression) {
            return zv::tool::UsageError("eval", L"one expression only (quote it)");
        } else {
            expression = a == L"-" ? ReadStdin() : a;
            haveExpression = true;
        }
    }
    if (!haveExpression) return zv::tool::UsageError("eval", L"missing expression");

    // Without a profile: the machine the process runs on in the Windows build, the
    // default in-memory machine natively.
    zv::expr::FakeMachine fake;
    std::optional<zv::expr::ScopedProcessMachine> useFake;
    if (!machineFile.empty()) {
        std::wstring error;
        if (!fake.LoadProfileFile(machineFile, error)) {
            zv::tool::Err(L"zvtool eval: machine profile " + machineFile + L": " + error + L"\n");
            return 2;
        }
        useFake.emplace(fake);
    }
#ifndef _WIN32
    if (!useFake) useFake.emplace(fake);
#endif
    zv::expr::IMachine& machine = zv::expr::ProcessMachine();
    // Descriptions of unexpected tokens go with the diagnostics, not the result line.
    CExpression::SetDiagnosticStream(stderr);

    bool tempOk = false;
    com_quorvane_value::VariableTable table;
    zv::expr::SeedUpdaterVariables(machine, zv::expr::TempDirectory(machine, tempOk), table);
    for (const auto& [name, value] : vars) zv::expr::SetTableVariable(table, name, CValue::Text(value));

    int code = 0;
    std::wstring line;
    {
        ZVExpr e(machine, expression);
        e.CopyVariables(table);
        CValue result;
        if (e.Evaluate(result)) {
            std::wstring text = result.Kind() == com_quorvane_value::VK_BLOB ? Hex(result.BlobPayload()) : result.AsText();
            line = std::wstring(com_quorvane_value::KindName(result.Kind())) + L" " + text + L"\n";
        } else {
            line = zv::Format(128, L"error %s (%d)\n", zv::expr::ExprErrorName(e.GetErrorCode()), e.GetErrorCode());
            code = 1;
        }
    }
    zv::tool::Out(line);
    return code;
}

} // namespace

ZVTOOL_COMMAND(eval, "eval", "[--var NAME=VALUE]... [--machine PROFILE] EXPR|-",
               "evaluate a manifest expression with the updater's variables; prints KIND TEXT (exit 0) or error NAME (CODE) (exit 1)",
               RunEval);
