// The updater's seeded variables, as expressions see them.
#include "eval_helpers.h"

#include "support/test_paths.h"
#include "updater/expr/seed_variables.h"

using namespace zv::exprtest;
using com_quorvane_value::CValue;
using com_quorvane_value::VariableTable;

namespace {

TEST(SeedVariables, FromAMachineProfile)
{
    zv::expr::FakeMachine m;
    std::wstring error;
    ASSERT_TRUE(m.LoadProfileFile(zv::test::SourcePath(L"tests/data/expr/machines/rich.profile"), error)) << zv::ToUtf8(error);
    m.folders.erase(35);
    zv::expr::SetLoadedGroupInfo(L"Vesk", L"0");
    bool ok = false;
    std::wstring temp = zv::expr::TempDirectory(m, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(temp, L"C:\\users\\me\\Temp\\\\");
    VariableTable vars;
    zv::expr::SeedUpdaterVariables(m, temp, vars);
    zv::expr::SetLoadedGroupInfo(L"", L"");

    struct Expect {
        const wchar_t* name;
        const char* shown; // the variable used as an expression
    } expected[] = {
        {L"rebootrequired", "int 0"},
        {L"tempdir", "text C:\\users\\me\\Temp"},
        {L"os", "text _w7"},
        {L"bitness", "int 64"},
        {L"brand", "text vesk"},
        {L"windir", "text C:\\windows"},
        {L"sysdir", "text C:\\windows\\system32"},
        {L"userappdir", "text C:\\users\\me\\AppData\\Roaming"},
        {L"userdocdir", "text C:\\users\\me\\Documents\\"},
        {L"programfiles", "text C:\\Program Files"},
        {L"parentdir", "text C:\\Program Files\\Quorvane"},
        {L"lang", "text DEU"},
        {L"langid", "int 1031"},
        {L"langhexid", "int 407"},   // "0407" re-evaluates as the number 407
    };
    for (const auto& e : expected) {
        ASSERT_TRUE(vars.count(e.name)) << zv::ToUtf8(e.name);
        ZVExpr x(m);
        x.CopyVariables(vars);
        EXPECT_EQ(Eval(x, e.name).Show(), e.shown) << zv::ToUtf8(e.name);
    }
    EXPECT_EQ(vars.at(L"langhexid")->AsText(), L"0407");
    EXPECT_EQ(vars.at(L"bitness")->AsText(), L"64");
    // The profile has no common application data folder: the variable is left out.
    EXPECT_FALSE(vars.count(L"commonappdata"));

    ZVExpr x(m);
    x.CopyVariables(vars);
    EXPECT_EQ(Eval(x, L"\"<windir>\\notepad.exe\"").Show(), "text C:\\windows\\notepad.exe");
    EXPECT_EQ(Eval(x, L"\"<os>\"").Show(), "text _w7");
    EXPECT_EQ(Eval(x, L"rebootrequired == 1").Show(), "int 0");
}

TEST(SeedVariables, MissingTempAndShortProgramDirectory)
{
    zv::expr::FakeMachine m;
    m.SetEnvironment(L"TEMP", L"");
    m.programDir = L"C:";
    bool ok = true;
    std::wstring temp = zv::expr::TempDirectory(m, ok);
    EXPECT_FALSE(ok);
    VariableTable vars;
    zv::expr::SeedUpdaterVariables(m, temp, vars);
    EXPECT_EQ(vars.at(L"tempdir")->AsText(), L"");
    EXPECT_EQ(vars.at(L"parentdir")->AsText(), L"");
    EXPECT_EQ(vars.at(L"os")->AsText(), L"_w7");
}

TEST(SeedVariables, EvaluateToTextGivesTheInputOnFailure)
{
    zv::expr::FakeMachine m;
    ZVExpr e(m);
    VariableTable vars;
    std::wstring out;
    EXPECT_TRUE(zv::expr::EvaluateToText(e, vars, L"1 + 1", out));
    EXPECT_EQ(out, L"2");
    EXPECT_FALSE(zv::expr::EvaluateToText(e, vars, L"1 +", out));
    EXPECT_EQ(out, L"1 +");
}

} // namespace
