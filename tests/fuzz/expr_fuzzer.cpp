// libFuzzer target: ZVExpr (and the base CExpression) over the in-memory machine, with
// a seeded variable table as the updater has one, including variables that refer to
// themselves. Any crash, sanitizer report, hang or runaway memory is a finding.
#include "support/fake_machine/fake_machine.h"
#include "updater/expr/seed_variables.h"
#include "updater/expr/zv_expr.h"
#include "updater/base/text_helpers.h"

#include <cstdio>
#include <string>

namespace {

const wchar_t kProfile[] = LR"(
memory.total_mib = 8192
usb.hubs = 1
env ProgramFiles = C:\Program Files
reg HKEY_CURRENT_USER\Software\Quorvane\Install | Done = sz:1
reg HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Tandemix | Version = sz:2.40.40
reg HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Tandemix | Count = dword:3
reg HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Tandemix | Big = qword:0x123456789
reg HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Tandemix | List = multi_sz:a|b
reg HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Tandemix | Bin = binary:00ff
file C:\Program Files\Quorvane\Tandemix\KVCHHost.exe = 2.40.40.1
msi.product {11111111-2222-3333-4444-555555555555} = 1.2.3
window 0x10010 = VeskWndClass | Vesk
)";

struct World {
    zv::expr::FakeMachine prototype;
    com_quorvane_value::VariableTable vars;

    World()
    {
        std::wstring error;
        prototype.LoadProfile(kProfile, error);
        bool ok = false;
        zv::expr::SeedUpdaterVariables(prototype, zv::expr::TempDirectory(prototype, ok), vars);
        zv::expr::SetTableVariable(vars, L"self", com_quorvane_value::CValue::Text(L"self + 1"));
        zv::expr::SetTableVariable(vars, L"ping", com_quorvane_value::CValue::Text(L"\"<pong>\""));
        zv::expr::SetTableVariable(vars, L"pong", com_quorvane_value::CValue::Text(L"ping"));
        // Descriptions of unexpected tokens would flood the output.
        CExpression::SetDiagnosticStream(std::fopen("/dev/null", "w"));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    if (size > 4096) return 0;
    std::wstring text = zv::FromUtf8(std::string(reinterpret_cast<const char*>(data), size));
    zv::expr::FakeMachine machine = world.prototype; // functions may write: start clean each time
    com_quorvane_value::CValue result;
    {
        ZVExpr e(machine);
        e.CopyVariables(world.vars);
        e.SetExpression(text);
        if (e.Evaluate(result)) (void)result.AsText();
        // The updater reuses its evaluator: a second run sees what the first left behind.
        if (e.Evaluate(result)) (void)result.AsText();
    }
    CExpression base(machine, text);
    base.CopyVariables(world.vars);
    base.Evaluate(result);
    return 0;
}
