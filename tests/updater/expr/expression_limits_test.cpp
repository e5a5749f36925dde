// Limits of one evaluation: variables that refer to each other many times over, and
// macros that multiply text, end in a clean error instead of running for minutes.
#include "eval_helpers.h"

using namespace zv::exprtest;
using com_quorvane_value::CValue;
using com_quorvane_value::VariableTable;

namespace {

// SetVar(v1, "v0 + v0") && ... && SetVar(vN, "vM + vM"), then vN: each level doubles
// the nested evaluations, so vN takes 2^(N+1) - 1 of them.
std::wstring DoublingChain(int levels)
{
    std::wstring text = L"(SetVar(v0, \"1\")";
    for (int i = 1; i <= levels; ++i)
        text += L" && SetVar(v" + std::to_wstring(i) + L", \"v" + std::to_wstring(i - 1) + L" + v" +
                std::to_wstring(i - 1) + L"\")";
    return text + L" && 0) + v" + std::to_wstring(levels);
}

TEST(ExpressionLimits, ADoublingChainOfVariablesRunsOnABudget)
{
    zv::expr::FakeMachine m;
    // Within the budget the value is exact.
    EXPECT_EQ(RunZv(m, DoublingChain(8)).Show(), "int 256");
    EXPECT_EQ(RunZv(m, DoublingChain(11)).Show(), "int 2048");
    EXPECT_EQ(RunZv(m, DoublingChain(12)).Show(), "ERR_SYNTAX");
    // Twenty levels would take 2 million nested evaluations: the budget stops it.
    std::wstring chain = DoublingChain(20);
    LogLines log(1);
    ZVExpr e(m);
    Outcome o = Eval(e, chain);
    EXPECT_EQ(o.Show(), "ERR_SYNTAX");
    EXPECT_EQ(log.Count(L"ZvLib: ---- ERROR: *** Expression needs more than 4096 nested evaluations"), 1);
    // The budget belongs to one evaluation: the next one of the same evaluator starts afresh.
    EXPECT_EQ(Eval(e, L"v8").Show(), "int 256");
}

TEST(ExpressionLimits, TheBudgetCountsTheCharactersNestedEvaluationsRead)
{
    // A variable of a million characters may be read four times in one evaluation.
    VariableTable vars;
    vars[L"big"] = std::make_unique<CValue>(CValue::Text(std::wstring(CExpression::kMaxTextChars, L'x')));
    zv::expr::FakeMachine m;
    ZVExpr e(m);
    e.CopyVariables(vars);
    EXPECT_EQ(Eval(e, L"(big == \"\") + (big == \"\") + (big == \"\") + (big == \"\")").Show(), "int 0");
    EXPECT_EQ(Eval(e, L"(big == \"\") + (big == \"\") + (big == \"\") + (big == \"\") + (big == \"\")").Show(),
              "ERR_SYNTAX");
}

// f0 is a literal of baseChars characters; each further level holds ten macros of the
// one before.
VariableTable FanOut(size_t baseChars, int levels)
{
    VariableTable vars;
    vars[L"f0"] = std::make_unique<CValue>(CValue::Text(L"\"" + std::wstring(baseChars, L'x') + L"\""));
    for (int i = 1; i <= levels; ++i) {
        std::wstring text = L"\"";
        for (int k = 0; k < 10; ++k) text += L"<f" + std::to_wstring(i - 1) + L">";
        vars[L"f" + std::to_wstring(i)] = std::make_unique<CValue>(CValue::Text(text + L"\""));
    }
    return vars;
}

TEST(ExpressionLimits, MacroFanOutIsHeldToTheTextLimit)
{
    zv::expr::FakeMachine m;
    ZVExpr e(m);
    e.CopyVariables(FanOut(10000, 3));
    CValue v;
    e.SetExpression(L"\"<f2>\" + \"y\"");
    ASSERT_TRUE(e.Evaluate(v));
    EXPECT_EQ(v.AsText(), std::wstring(1000000, L'x') + L"y");
    // Ten million characters: the literal fails, also when the growth happens in a
    // nested evaluation, instead of yielding the macro text unexpanded.
    EXPECT_EQ(Eval(e, L"\"<f3>\"").Show(), "ERR_NOMEM");
    EXPECT_EQ(Eval(e, L"\"<f2><f2>\"").Show(), "ERR_NOMEM");
    EXPECT_EQ(Eval(e, L"SubStr(\"<f3>\", 1, 1)").Show(), "ERR_NOMEM");
}

TEST(ExpressionLimits, FiveLevelsOfTenfoldMacrosEndInAnError)
{
    // A hundred thousand expansions of f0, ten million characters: the budget of
    // nested evaluations ends it long before.
    zv::expr::FakeMachine m;
    ZVExpr e(m);
    e.CopyVariables(FanOut(100, 5));
    EXPECT_EQ(Eval(e, L"\"<f5>\"").Show(), "ERR_SYNTAX");
    EXPECT_EQ(Eval(e, L"\"<f3>\"").Show(), "text " + std::string(100000, 'x'));
}

} // namespace
