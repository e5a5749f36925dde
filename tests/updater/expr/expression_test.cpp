// The language itself: tokens, precedence, operators, errors (base class and ZVExpr).
#include "eval_helpers.h"

using namespace zv::exprtest;
using com_quorvane_value::CValue;

namespace {

void CheckAll(zv::expr::IMachine& m, const Case* begin, const Case* end, bool base)
{
    for (const Case* c = begin; c != end; ++c) {
        Outcome o;
        if (base) {
            CExpression e(m);
            o = Eval(e, c->expression);
        } else {
            o = RunZv(m, c->expression);
        }
        EXPECT_EQ(o.Show(), c->expected) << zv::ToUtf8(c->expression);
    }
}

TEST(Expression, ArithmeticPrecedenceAndConversions)
{
    const Case cases[] = {
        {L"2 + 3 * 4", "int 14"},
        {L"2 * 3 + 4", "int 10"},
        {L"1 + 2 == 3", "int 1"},
        {L"1 == 1 && 0", "int 0"},
        // All lower operators bind alike, left to right: ((1 == 1) && 2) == 2 is 1 == 2.
        {L"1 == 1 && 2 == 2", "int 0"},
        {L"(1 == 1) && (2 == 2)", "int 1"},
        {L"7 / 2", "int 3"},
        {L"7.0 / 2", "real 3.500000"},
        {L"7 / 2.0", "ERR_DIV_ZERO"},
        {L"7 / 0", "ERR_DIV_ZERO"},
        {L"5.", "real 5.000000"},
        {L"10 - 2 - 3", "int 5"},
        {L"\"ab\" * 3", "text ababab"},
        {L"\"ab\" * 50", "text abababababababababab"},
        {L"\"ab\" * 0", "text "},
        {L"\"ab\" * -4", "text "},
        {L"\"a-b-c\" - \"-\"", "text abc"},
        {L"\"a\" + 1 + 2", "text a12"},
        {L"1 + \"2\"", "int 3"},
        {L"1 + \"x\"", "int 1"},
        {L"-\"5\"", "int -5"},
        {L"-2.5", "int 0"},
        {L"!0", "int 1"},
        {L"!5", "int 0"},
        {L"!1 == 2", "int 1"},
        {L"6 ^ 3", "int 5"},
        {L"6 & 3", "int 2"},
        {L"6 | 3", "int 7"},
        {L"1.5 ^ 1", "empty "},
        {L"1 || 0", "int 1"},
        {L"0 || 0", "int 0"},
        {L"\"say \"\"hi\"\"\"", "text say \"hi\""},
        {L"\"abc\" < \"abd\"", "int 1"},
        {L"\"abc\" == \"ABC\"", "int 0"},
        {L"\"10\" > 9", "int 0"},   // texts compare as texts: "10" < "9"
        {L"2.5 > 2", "int 1"},
        {L"2.5 <= 2.5", "int 1"},
        {L"pi", "real 3.140000"},
        {L"pi * 2", "real 6.280000"},
        {L"  3  ", "int 3"},
        {L"\t1\r\n+\n1", "int 2"},
    };
    zv::expr::FakeMachine m;
    CheckAll(m, std::begin(cases), std::end(cases), false);
}

TEST(Expression, ConditionalBindsToThePrimaryBeforeIt)
{
    const Case cases[] = {
        {L"1 ? 2 : 3", "int 2"},
        {L"0 ? 2 : 3", "int 3"},
        // x == (1 ? 2 : 3): the condition is the primary 1, not the comparison.
        {L"2 == 1 ? 2 : 3", "int 1"},
        {L"(2 == 1) ? 2 : 3", "int 3"},
        {L"1 ? 2 + 3 : 4", "int 5"},
        {L"0 ? 2 : 3 + 4", "int 7"},
        {L"1 ? 2", "ERR_SYNTAX"},
        {L"1 ? 2 ; 3", "ERR_TOKEN"},
        {L"0 ? FileExists(\"x\") : 5", "int 5"},
        {L"1 ? 5 : NoSuch(1)", "ERR_SYNTAX"},
        {L"1 ? 7 / 0 : 1", "ERR_SYNTAX"},
    };
    zv::expr::FakeMachine m;
    CheckAll(m, std::begin(cases), std::end(cases), false);
}

TEST(Expression, TheBranchNotTakenRunsNoFunction)
{
    zv::expr::FakeMachine m;
    Outcome o = RunZv(m, L"0 ? PostMessage(1, 2, 3, 4) : SendMessage(5, 6, 7, 8)");
    ASSERT_TRUE(o.ok);
    ASSERT_EQ(m.messages.size(), 1u);
    EXPECT_TRUE(m.messages[0].sent);
    EXPECT_EQ(m.messages[0].window, 5u);
    // A nested call in the skipped branch yields 0, which must not trip the outer call's kind check.
    EXPECT_EQ(RunZv(m, L"0 ? SubStr(SysVer(), 1, 1) : \"n\"").Show(), "text n");
    EXPECT_EQ(RunZv(m, L"1 ? SubStr(SysVer(), 1, 1) : \"n\"").Show(), "text 6");
}

TEST(Expression, ErrorCodes)
{
    const Case cases[] = {
        {L"", "ERR_EMPTY"},
        {L"   ", "ERR_SYNTAX"},
        {L"1 = 1", "ERR_TOKEN"},
        {L".5", "ERR_TOKEN"},
        {L"1 . 2", "ERR_TOKEN"},
        {L"\"open", "ERR_TOKEN"},
        {L"1 # 2", "ERR_TOKEN"},
        {L"nosuch", "ERR_VARIABLE"},
        {L"(1 + 2", "ERR_SYNTAX"},
        {L"1 2", "ERR_SYNTAX"},
        {L"1 +", "ERR_SYNTAX"},
        {L"+ 1", "ERR_SYNTAX"},
        {L"NoSuch(1)", "ERR_FUNC_UNK"},
        {L"1 + NoSuch(1)", "ERR_SYNTAX"},
        {L"NoSuch(1) + 1", "ERR_FUNC_UNK"},
        {L"SubStr(\"abc\")", "ERR_PARAMLIST"},
        {L"SubStr(\"abc\", 1, 2, 3)", "ERR_PARAMLIST"},
        {L"SubStr()", "ERR_PARAMLIST"},
        {L"SubStr(1, 2, 3)", "ERR_PARAM_TYPE"},
        {L"SubStr(\"abc\", 1.5, 3)", "ERR_PARAM_TYPE"},
        {L"SubStr(\"abc\", 4, 1)", "ERR_FUNCTION"},
        {L"SysVer(1)", "ERR_PARAMLIST"},
        {L"RegVal(\"HKEY_CURRENT_USER\\x\", \"y\")", "ERR_PARAMLIST"},
        {L"SubStr(\"abc\", 1, 2", "ERR_SYNTAX"},
        {L"sysver()", "ERR_FUNC_UNK"},
        {L"-NoSuch(1)", "ERR_SYNTAX"},
    };
    zv::expr::FakeMachine m;
    CheckAll(m, std::begin(cases), std::end(cases), false);
}

TEST(Expression, BaseClassKnowsOnlyItsOwnFunctionsAndRemainder)
{
    const Case cases[] = {
        {L"7 % 3", "int 1"},
        {L"-7 % 3", "int -1"},
        {L"7 % 0", "ERR_DIV_ZERO"},
        {L"func()", "text Stub Function Called"},
        {L"func(1, \"a\")", "text Stub Function Called"},
        {L"SubStr(\"abc\", 1, 1)", "ERR_FUNC_UNK"},
        {L"%PATH%", "ERR_SYNTAX"},
    };
    zv::expr::FakeMachine m;
    CheckAll(m, std::begin(cases), std::end(cases), true);
}

TEST(Expression, AlertShowsEveryArgument)
{
    zv::expr::FakeMachine m;
    EXPECT_EQ(RunZv(m, L"Alert(\"x\", 2)").Show(), "int 0");
    ASSERT_EQ(m.alerts.size(), 1u);
    EXPECT_EQ(m.alerts[0], L"Alert!\nP1->x\nP2->2\n");
}

TEST(Expression, IntegerOverflowWrapsAndNeverTraps)
{
    const Case cases[] = {
        {L"2147483647 + 1", "int -2147483648"},
        {L"0 - 2147483647 - 2", "int 2147483647"},
        {L"65536 * 65536", "int 0"},
        {L"(0 - 2147483647 - 1) / -1", "int -2147483648"},
        {L"(0 - 2147483647 - 1) / (0 - 1)", "int -2147483648"},
        {L"-(0 - 2147483647 - 1)", "int -2147483648"},
        {L"99999999999", "int 2147483647"},
    };
    zv::expr::FakeMachine m;
    CheckAll(m, std::begin(cases), std::end(cases), false);
    CExpression base(m, L"(0 - 2147483647 - 1) % (0 - 1)");
    CValue v;
    ASSERT_TRUE(base.Evaluate(v));
    EXPECT_EQ(v.AsInt(), 0);
}

TEST(Expression, DeepNestingFailsCleanly)
{
    zv::expr::FakeMachine m;
    std::wstring deep = std::wstring(100000, L'(') + L"1" + std::wstring(100000, L')');
    EXPECT_EQ(RunZv(m, deep).Show(), "ERR_SYNTAX");
    std::wstring nots(100000, L'!');
    EXPECT_EQ(RunZv(m, nots + L"1").Show(), "ERR_SYNTAX");
    std::wstring minus(100000, L'-');
    EXPECT_EQ(RunZv(m, minus + L"1").Show(), "ERR_SYNTAX");
    // Moderate nesting still works.
    EXPECT_EQ(RunZv(m, std::wstring(40, L'(') + L"1" + std::wstring(40, L')')).Show(), "int 1");
}

TEST(Expression, LongExpressionsAreLinear)
{
    zv::expr::FakeMachine m;
    std::wstring sum = L"0";
    for (int i = 0; i < 50000; ++i) sum += L" + 1";
    EXPECT_EQ(RunZv(m, sum).Show(), "int 50000");
    // Texts cannot grow without bound.
    ZVExpr e(m);
    e.SetExpression(L"\"abcdefghij\" * 10 * 10 * 10 * 10 * 10");
    CValue v;
    EXPECT_TRUE(e.Evaluate(v));
    EXPECT_EQ(v.AsText().size(), 1000000u);
    e.SetExpression(L"\"abcdefghij\" * 10 * 10 * 10 * 10 * 10 * 10");
    EXPECT_FALSE(e.Evaluate(v));
    EXPECT_EQ(e.GetErrorCode(), ERR_NOMEM);
}

TEST(Expression, EmptyExpressionClearsTheResult)
{
    zv::expr::FakeMachine m;
    ZVExpr e(m, L"");
    CValue v = CValue::Int(5);
    EXPECT_FALSE(e.Evaluate(v));
    EXPECT_EQ(e.GetErrorCode(), ERR_EMPTY);
    EXPECT_TRUE(v.IsEmpty());
}

TEST(Expression, ComparisonsByKind)
{
    const Case cases[] = {
        {L"-1 < 1", "int 1"},
        {L"OSPlatformID() > -1", "int 0"},   // unsigned: -1 is the largest
        {L"RegVal(\"HKEY_CURRENT_USER\\q\", \"big\", 0) > 5", "int 1"},
        {L"SetVar(v, 1) == \"1\"", "int 1"},
    };
    zv::expr::FakeMachine m;
    m.SetRegValue(zv::expr::RegRoot::CurrentUser, L"q", L"big", zv::expr::RegData{zv::expr::ZV_REG_QWORD, {0, 0, 0, 0, 1, 0, 0, 0}});
    CheckAll(m, std::begin(cases), std::end(cases), false);
}

} // namespace
