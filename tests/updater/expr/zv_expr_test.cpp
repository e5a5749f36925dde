// ZVExpr: variables re-evaluated as expressions, environment references, string macros.
#include "eval_helpers.h"


using namespace zv::exprtest;
using com_quorvane_value::CValue;
using com_quorvane_value::VariableTable;

namespace {

VariableTable Table(std::initializer_list<std::pair<const wchar_t*, CValue>> entries)
{
    VariableTable t;
    for (const auto& [name, value] : entries) t[name] = std::make_unique<CValue>(value);
    return t;
}

zv::expr::FakeMachine& Machine()
{
    static zv::expr::FakeMachine m;
    static bool once = [] {
        m.SetEnvironment(L"ZVTEST_ENV", L"C:\\env value");
        return true;
    }();
    (void)once;
    return m;
}

Outcome RunWith(const VariableTable& vars, const std::wstring& text)
{
    ZVExpr e(Machine());
    e.CopyVariables(vars);
    return Eval(e, text);
}

TEST(ZVExprVariables, StoredTextIsEvaluatedAgain)
{
    VariableTable vars = Table({
        {L"os", CValue::Text(L"_w7")},
        {L"zero", CValue::Text(L"0")},
        {L"ver", CValue::Text(L"1.00")},
        {L"sum", CValue::Text(L"1 + 2")},
        {L"ref", CValue::Text(L"sum * 2")},
        {L"reboot", CValue::Int(0)},
        {L"windir", CValue::Text(L"C:\\windows")},
        {L"broken", CValue::Text(L"1 +")},
    });
    const Case cases[] = {
        {L"os", "text _w7"},
        {L"zero", "int 0"},
        {L"ver", "real 1.000000"},
        {L"sum", "int 3"},
        {L"ref", "int 6"},   // (1 + 2) evaluated first, then * 2
        {L"reboot == 1", "int 0"},
        {L"os == \"_w7\"", "int 1"},
        {L"broken", "text 1 +"},
        {L"windir", "text C:\\windows"},
        {L"pi", "real 3.140000"},
        {L"missing", "ERR_VARIABLE"},
    };
    for (const auto& c : cases) EXPECT_EQ(RunWith(vars, c.expression).Show(), c.expected) << zv::ToUtf8(c.expression);
}

TEST(ZVExprVariables, ValuesTheTokenizerRefusesStandAsText)
{
    // Values with a character no token holds are taken as text without a nested
    // evaluation; values with string literals or "%" still go through one (a variable's
    // nested evaluator is the plain engine: "%" is the remainder there, "<name>" text).
    VariableTable vars = Table({
        {L"path", CValue::Text(L"C:\\users\\user\\Temp\\")},
        {L"quoted", CValue::Text(L"\"C:\\x\" + \"\\y\"")},
        {L"env", CValue::Text(L"%ZVTEST_ENV%")},
        {L"envpath", CValue::Text(L"%ZVTEST_ENV%\\x")},
        {L"macro", CValue::Text(L"\"<path>x\"")},
        {L"bad", CValue::Text(L"SetVar(q, 1) + 1 \\")},
        {L"brace", CValue::Text(L"{1}")},
        {L"nul", CValue::Text(std::wstring(L"1\0", 2))},
        {L"sum", CValue::Text(L"1 + 2")},
    });
    const Case cases[] = {
        {L"path", "text C:\\users\\user\\Temp\\"},
        {L"\"/LOG=\" + path + \"\\s.log\"", "text /LOG=C:\\users\\user\\Temp\\\\s.log"},
        {L"quoted", "text C:\\x\\y"},
        {L"env", "text %ZVTEST_ENV%"},
        {L"envpath", "text %ZVTEST_ENV%\\x"},
        {L"macro", "text <path>x"},
        {L"bad", "text SetVar(q, 1) + 1 \\"},
        {L"brace", "text {1}"},
        {L"sum", "int 3"},
        {L"\"<path>\"", "text C:\\users\\user\\Temp\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(RunWith(vars, c.expression).Show(), c.expected) << zv::ToUtf8(c.expression);

    // A refused value runs nothing of itself: its SetVar never happens.
    ZVExpr e(Machine());
    e.CopyVariables(vars);
    EXPECT_EQ(Eval(e, L"bad").Show(), "text SetVar(q, 1) + 1 \\");
    EXPECT_EQ(Eval(e, L"q").Show(), "ERR_VARIABLE");
    EXPECT_EQ(Eval(e, L"nul").value.AsText(), std::wstring(L"1\0", 2));
}

TEST(ZVExprVariables, ANameWithoutValueYieldsEmpty)
{
    ZVExpr e(Machine());
    e.Variables()[L"novalue"] = nullptr;
    EXPECT_EQ(Eval(e, L"novalue").Show(), "empty ");
    EXPECT_EQ(Eval(e, L"1 + novalue").Show(), "ERR_SYNTAX");
    e.Variables().erase(L"novalue");
}

TEST(ZVExprVariables, NestedEvaluationSeesTheTableAsCopied)
{
    // A variable is evaluated by a fresh evaluator holding a copy of the table, and a
    // copy leaves empty texts out: "blank" is unknown there, so "ref" stays text.
    ZVExpr e(Machine());
    e.SetVariable(L"blank", CValue::Text(L""));
    e.SetVariable(L"ref", CValue::Text(L"blank"));
    e.SetVariable(L"two", CValue::Text(L"ref + pi"));
    EXPECT_EQ(Eval(e, L"blank").Show(), "text ");
    EXPECT_EQ(Eval(e, L"ref").Show(), "text blank");
    EXPECT_EQ(Eval(e, L"two").Show(), "text blank3.140000");
    // pi is known to every evaluator, so the copy assigns it even when it is "".
    e.SetVariable(L"usespi", CValue::Text(L"pi"));
    EXPECT_EQ(Eval(e, L"usespi").Show(), "real 3.140000");
    e.SetVariable(L"pi", CValue::Text(L""));
    EXPECT_EQ(Eval(e, L"usespi").Show(), "text ");
}

TEST(ZVExprVariables, SelfReferenceStopsAtAFixedDepth)
{
    VariableTable vars = Table({
        {L"a", CValue::Text(L"a")},
        {L"b", CValue::Text(L"c + 1")},
        {L"c", CValue::Text(L"b + 1")},
        {L"m", CValue::Text(L"\"<m>\"")},
    });
    EXPECT_EQ(RunWith(vars, L"a").Show(), "ERR_SYNTAX");
    EXPECT_EQ(RunWith(vars, L"b").Show(), "ERR_SYNTAX");
    EXPECT_EQ(RunWith(vars, L"\"x<m>\"").Show(), "ERR_SYNTAX");
    EXPECT_EQ(RunWith(vars, L"1 + 1").Show(), "int 2");
}

TEST(ZVExprVariables, CopyVariablesAssignsKnownNamesAndSkipsEmptyTexts)
{
    ZVExpr e(Machine());
    e.SetVariable(L"keep", CValue::Int(1));
    e.CopyVariables(Table({{L"keep", CValue::Text(L"")}, {L"skip", CValue::Text(L"")}, {L"add", CValue::Int(0)}}));
    ASSERT_TRUE(e.Variables().count(L"keep"));
    EXPECT_EQ(e.Variables().at(L"keep")->Kind(), com_quorvane_value::VK_TEXT); // assigned, even empty
    EXPECT_FALSE(e.Variables().count(L"skip"));
    ASSERT_TRUE(e.Variables().count(L"add"));
    EXPECT_EQ(e.Variables().at(L"add")->AsInt(), 0);
}

TEST(ZVExprVariables, SetVarIsSeenByTheRestAndByLaterEvaluations)
{
    ZVExpr e(Machine());
    EXPECT_EQ(Eval(e, L"SetVar(x, 5) + x").Show(), "text 55");
    EXPECT_EQ(Eval(e, L"x * 2").Show(), "int 10");
    EXPECT_EQ(Eval(e, L"SetVar(\"y\", 1.5)").Show(), "text 1.500000");
    EXPECT_EQ(e.Variables().at(L"y")->Kind(), com_quorvane_value::VK_REAL);
}

TEST(ZVExprEnvironment, ReferencesOutsideStrings)
{
    const Case cases[] = {
        {L"%ZVTEST_ENV%", "text C:\\env value"},
        {L"%zvtest_env%", "text C:\\env value"},
        {L"%NO_SUCH_ENV_ZV%", "text "},
        {L"%ZVTEST_ENV% + \"\\x\"", "text C:\\env value\\x"},
        {L"%ZVTEST_ENV", "ERR_TOKEN"},
        {L"7 % 2", "ERR_TOKEN"},
        {L"%%", "text "},
    };
    for (const auto& c : cases) EXPECT_EQ(RunZv(Machine(), c.expression).Show(), c.expected) << zv::ToUtf8(c.expression);
}

TEST(ZVExprMacros, InsideStringLiterals)
{
    VariableTable vars = Table({
        {L"windir", CValue::Text(L"C:\\windows")},
        {L"os", CValue::Text(L"_w7")},
        {L"n", CValue::Text(L"1 + 2")},
        {L"nested", CValue::Text(L"\"<windir>\\sub\"")},
        {L"b", CValue::Text(L"B")},
    });
    const Case cases[] = {
        {L"\"<windir>\\notepad.exe\"", "text C:\\windows\\notepad.exe"},
        {L"\"<os>\"", "text _w7"},
        {L"\"<n>\"", "text 3"},
        {L"\"<nested>\"", "text C:\\windows\\sub"},
        {L"\"<nosuchvar>x\"", "text x"},
        {L"\"<nosuch>\"", "text "},
        {L"\"a<b c>\"", "text a<b c>"},
        {L"\"a<b\"", "text a<b"},
        {L"\"a<>b\"", "text a<>b"},
        {L"\"[<windir>]\"", "text [C:\\windows]"},
        {L"\"<b><b>\"", "text BB"},
        {L"\"%ZVTEST_ENV%\\x\"", "text C:\\env value\\x"},
        {L"\"%NOSUCHENV%\"", "text "},
        {L"\"100%\"", "text 100%"},
        {L"\"%a b%\"", "text %a b%"},
        {L"\"<<b>>\"", "text <<b>>"},
        {L"\"q\"\"<b>\"\"q\"", "text q\"B\"q"},
        {L"\"<b\"\"\"", "text <b\""},
        // Plain runs between macros, quotes and the ends of the literal.
        {L"\"x<b>yy%NOSUCHENV%zzz\"\"w\"", "text xByyzzz\"w"},
        {L"\"long plain run, no macro at all\"", "text long plain run, no macro at all"},
        {L"\"unterminated plain run", "ERR_TOKEN"},
        {L"\"run then <b>", "ERR_TOKEN"},
    };
    for (const auto& c : cases) EXPECT_EQ(RunWith(vars, c.expression).Show(), c.expected) << zv::ToUtf8(c.expression);
}

TEST(ZVExprMacros, MacrosAreNotScannedAgain)
{
    VariableTable vars = Table({{L"lt", CValue::Text(L"\"<b>\"")}, {L"b", CValue::Text(L"B")}});
    // lt evaluates to the text "<b>" (its own literal is expanded once, in the nested evaluator)...
    EXPECT_EQ(RunWith(vars, L"\"<lt>\"").Show(), "text B");
    // ...but text inserted by a macro is never expanded by the outer literal.
    VariableTable raw = Table({{L"pct", CValue::Text(L"\"%\" + \"ZVTEST_ENV%\"")}});
    EXPECT_EQ(RunWith(raw, L"\"<pct>\"").Show(), "text %ZVTEST_ENV%");
}

TEST(ZVExprMacros, UndeclaredMacroNamesAreReportedOnDestruction)
{
    LogLines log(6);
    {
        ZVExpr e(Machine());
        EXPECT_EQ(Eval(e, L"\"<ghost>x\"").Show(), "text x");
        // The name is now known without a value: a bare reference yields empty, not an error.
        EXPECT_EQ(Eval(e, L"ghost").Show(), "empty ");
    }
    EXPECT_EQ(log.Count(L"ZvLib: ---- ERROR: *** Undeclared variable 'ghost'"), 1);
}

TEST(ZVExprSubExpression, FallsBackToTheTextItself)
{
    ZVExpr e(Machine());
    e.SetVariable(L"v", CValue::Int(7));
    EXPECT_EQ(e.EvaluateSubExpression(L"v * 2").AsInt(), 14);
    CValue failed = e.EvaluateSubExpression(L"v +");
    EXPECT_EQ(failed.Kind(), com_quorvane_value::VK_TEXT);
    EXPECT_EQ(failed.AsText(), L"v +");
}

} // namespace
