// Literal texts with "<name>" macros expanded without the engine must give exactly what
// the engine gives; whatever the shortcut cannot decide goes to the engine.
#include "core_fixture.h"

#include "updater/core/literal_macros.h"
#include "updater/expr/seed_variables.h"

using namespace zvcoretest;
using com_quorvane_value::CValue;

namespace {

enum class Path { Shortcut, Engine };

struct Case {
    const wchar_t* text;
    Path path;
};

class LiteralMacrosTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        machine.SetEnvironment(L"ZVTEST", L"env");
        imp->SetVariable(L"tag", CValue::Text(L"v1"));
        imp->SetVariable(L"num", CValue::Int(7));
        imp->SetVariable(L"padded", CValue::Text(L"007"));  // a number: read as 7
        imp->SetVariable(L"ref", CValue::Text(L"tag"));     // names another variable
        imp->SetVariable(L"calc", CValue::Text(L"1 + 2"));  // needs evaluating
        imp->SetVariable(L"blank", CValue::Text(L""));      // not copied to the evaluator
        imp->SetVariable(L"word", CValue::Text(L"ENU"));    // a name nobody defines
        imp->SetVariable(L"path", CValue::Text(L"C:\\t\\x"));
        imp->SetVariable(L"accent", CValue::Text(L"\u00e9t\u00e9"));
        imp->SetVariable(L"big", CValue::Text(std::wstring(CExpression::kMaxTextChars / 2 + 10, L'a')));
    }

    // The engine's answer, from a fresh evaluator with the library's variables.
    std::pair<int, std::wstring> Engine(const std::wstring& text)
    {
        ZVExpr engine(machine);
        std::wstring out;
        const bool ok = zv::expr::EvaluateToText(engine, imp->variables, text, out);
        return {ok ? 1 : 0, out};
    }
};

TEST_F(LiteralMacrosTest, ExpandsAsTheEngineDoes)
{
    const Case cases[] = {
        {L"\"http://dl.example.invalid/<lang>/pkg/setup.exe\"", Path::Shortcut},
        {L"\"<tag><tag>\"", Path::Shortcut},
        {L"\"<num>-<padded>\"", Path::Shortcut},
        {L"\"<word>/<accent>\"", Path::Shortcut},
        {L"\"<tempdir>\\setup.log\"", Path::Shortcut},
        {L"\"<path>\"", Path::Shortcut}, // a value the tokenizer refuses stands as written
        // Not macros: the characters stay, the one after the name included.
        {L"\"<tag\"", Path::Shortcut},
        {L"\"a<b\"", Path::Shortcut},
        {L"\"<\"", Path::Shortcut},
        {L"\"<>\"", Path::Shortcut},
        {L"\"<<tag>\"", Path::Shortcut},
        {L"\"<a<tag>\"", Path::Shortcut},
        {L"\"<a b><tag>\"", Path::Shortcut},
        {L"\"<t-g>\"", Path::Shortcut},
        {L"\"<tag>>\"", Path::Shortcut},
        {L"\"x<tag>\r\n\"", Path::Shortcut},
        // Literals and variables joined by "+".
        {L"\"<tag>\" ", Path::Shortcut},
        {L" \"<tag>\"", Path::Shortcut},
        {L"\"<tag>\" + \"x\"", Path::Shortcut},
        {L"\"/S /LOG=\" + tempdir + \"\\setup_1.log\"", Path::Shortcut},
        {L"\"a\"+tag+\"b\"", Path::Shortcut},
        {L" \"a\" +\tnum\r\n+ padded ", Path::Shortcut},
        {L"\"<tag>\" + \"<tag>\" + word", Path::Shortcut},
        {L"\"a\" + path", Path::Shortcut},
        // The engine decides.
        {L"\"a\" + unknown", Path::Engine},
        {L"\"a\" + blank", Path::Engine},
        {L"\"a\" + calc", Path::Engine},
        {L"\"a\" + ref", Path::Engine},
        {L"\"a\" + OSVer()", Path::Engine},
        {L"\"a\" + tag (", Path::Engine},
        {L"\"a\" + ", Path::Engine},
        {L"\"a\" + 5", Path::Engine},
        {L"\"a\" + -tag", Path::Engine},
        {L"\"a\" - \"b\"", Path::Engine},
        {L"\"a\" \"b\"", Path::Engine},
        {L"\"a\" + + tag", Path::Engine},
        {L"tag + \"a\"", Path::Engine},
        {L"\"a\" + \"say \"\"x\"\"\"", Path::Engine},
        {L"\"a\" + %ZVTEST%", Path::Engine},
        {L"\"a\" + \"b", Path::Engine},
        {L"\"<big>\" + \"<big>\"", Path::Engine},
        {L"\"\" + big + big", Path::Engine},
        {L"\"<unknown>\"", Path::Engine},
        {L"\"<ref>\"", Path::Engine},
        {L"\"<calc>\"", Path::Engine},
        {L"\"<blank>\"", Path::Engine},
        {L"\"<tag>%ZVTEST%\"", Path::Engine},
        {L"\"5%<tag>\"", Path::Engine},
        {L"\"say \"\"<tag>\"\"\"", Path::Engine},
        {L"\"<tag>", Path::Engine},
        {L"\"", Path::Engine},
        {L"<tag>", Path::Engine},
        // Longer than a literal's macros may make it: the engine fails it.
        {L"\"<big><big>\"", Path::Engine},
    };
    for (const Case& c : cases) {
        const std::wstring text = c.text;
        const auto [wantOk, want] = Engine(text);

        ZVExpr evaluator(machine);
        evaluator.CopyVariables(imp->variables);
        std::wstring shortcut = L"untouched";
        const bool taken = zv::core::ExpandLiteralMacros(evaluator, text, shortcut);
        EXPECT_EQ(taken, c.path == Path::Shortcut) << zv::ToUtf8(text);
        if (taken) {
            EXPECT_EQ(wantOk, 1) << zv::ToUtf8(text);
            EXPECT_EQ(shortcut, want) << zv::ToUtf8(text);
        } else {
            EXPECT_EQ(shortcut, L"untouched") << zv::ToUtf8(text);
        }

        std::wstring got = L"stale";
        EXPECT_EQ(imp->EvaluateToText(text, got), wantOk) << zv::ToUtf8(text);
        EXPECT_EQ(got, want) << zv::ToUtf8(text);
    }
}

TEST_F(LiteralMacrosTest, ShortcutLeavesTheEvaluatorsTableAndEffectsAlone)
{
    ZVExpr evaluator(machine);
    evaluator.CopyVariables(imp->variables);
    const auto writes = evaluator.TableWrites();
    const auto effects = CExpression::EffectsSoFar();
    std::wstring out;
    ASSERT_TRUE(zv::core::ExpandLiteralMacros(evaluator, L"\"<tag>/<num>\"", out));
    EXPECT_EQ(out, L"v1/7");
    EXPECT_EQ(evaluator.TableWrites(), writes);
    EXPECT_EQ(CExpression::EffectsSoFar(), effects);
    // An unknown name is left to the engine, which declares it: the shortcut declares nothing.
    EXPECT_FALSE(zv::core::ExpandLiteralMacros(evaluator, L"\"<nobody>\"", out));
    EXPECT_EQ(evaluator.TableWrites(), writes);
    EXPECT_EQ(evaluator.Variables().count(L"nobody"), 0u);
}

TEST_F(LiteralMacrosTest, NameWithoutAValueAsTheEngineReadsIt)
{
    // The engine declares an unknown macro name without a value: as a macro it then
    // expands to nothing, as an operand it fails the evaluation.
    ZVExpr evaluator(machine);
    evaluator.CopyVariables(imp->variables);
    evaluator.SetExpression(L"\"<ghost>\"");
    CValue ignored;
    evaluator.Evaluate(ignored);
    ASSERT_EQ(evaluator.Variables().count(L"ghost"), 1u);
    const Case cases[] = {{L"\"x<ghost>y\"", Path::Shortcut}, {L"\"x\" + ghost", Path::Engine}};
    for (const Case& c : cases) {
        std::wstring shortcut;
        const bool taken = zv::core::ExpandLiteralMacros(evaluator, c.text, shortcut);
        EXPECT_EQ(taken, c.path == Path::Shortcut) << zv::ToUtf8(c.text);
        evaluator.SetExpression(c.text);
        CValue value;
        const bool ok = evaluator.Evaluate(value);
        EXPECT_EQ(ok, taken) << zv::ToUtf8(c.text);
        if (taken) {
            EXPECT_EQ(shortcut, value.AsText()) << zv::ToUtf8(c.text);
        }
    }
}

TEST_F(LiteralMacrosTest, ManifestUrlWithALanguageMacroMatchesTheEngine)
{
    ASSERT_EQ(Load("<ZV_Manifest name=\"m\"><UiItems>" +
                   Application(5, "", "", "http://dl.example.invalid/&lt;lang&gt;/&lt;tag&gt;/setup.exe") +
                   "</UiItems></ZV_Manifest>"),
              1);
    ASSERT_NE(App(0), nullptr);
    EXPECT_EQ(std::wstring(App(0)->url), Engine(L"\"http://dl.example.invalid/<lang>/<tag>/setup.exe\"").second);
    EXPECT_EQ(App(0)->url.find(L'<'), std::wstring::npos);
}

TEST_F(LiteralMacrosTest, KeptVariablesFollowTheEvaluatorsTable)
{
    ZVExpr evaluator(machine);
    evaluator.CopyVariables(imp->variables);
    zv::core::ExpandedVariables kept;
    const std::wstring text = L"\"<tag>/<num>\" + word";
    const std::wstring* out = zv::core::ExpandLiteralMacros(evaluator, text, &kept);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(*out, L"v1/7ENU");
    EXPECT_EQ(kept.Size(), 3u);
    // Read again from the record: the same text.
    out = zv::core::ExpandLiteralMacros(evaluator, text, &kept);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(*out, L"v1/7ENU");
    // A write to the table between two expansions is seen by the next one.
    evaluator.SetVariable(L"tag", CValue::Text(L"v2"));
    out = zv::core::ExpandLiteralMacros(evaluator, text, &kept);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(*out, L"v2/7ENU");
    // So is a name the record knew as unknown and the table now holds.
    EXPECT_EQ(zv::core::ExpandLiteralMacros(evaluator, L"\"<late>\"", &kept), nullptr);
    evaluator.SetVariable(L"late", CValue::Text(L"here"));
    out = zv::core::ExpandLiteralMacros(evaluator, L"\"<late>\"", &kept);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(*out, L"here");
    // Another evaluator never reads this one's record.
    ZVExpr other(machine);
    other.CopyVariables(imp->variables);
    out = zv::core::ExpandLiteralMacros(other, text, &kept);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(*out, L"v1/7ENU");
}

TEST_F(LiteralMacrosTest, KeptVariablesStillChargeTheNestedBudget)
{
    // Each macro is a nested evaluation: one more than the budget allows goes to the
    // engine, which fails it, whether the variable's text was kept or not.
    const int budget = CExpression::kMaxNestedEvaluations;
    std::wstring within = L"\"", beyond;
    for (int i = 0; i < budget; ++i) within += L"<tag>";
    beyond = within + L"<tag>\"";
    within += L"\"";
    ZVExpr evaluator(machine);
    evaluator.CopyVariables(imp->variables);
    zv::core::ExpandedVariables kept;
    for (int round = 0; round < 2; ++round) {
        const std::wstring* out = zv::core::ExpandLiteralMacros(evaluator, within, &kept);
        ASSERT_NE(out, nullptr) << round;
        EXPECT_EQ(out->size(), 2u * budget) << round;
        EXPECT_EQ(zv::core::ExpandLiteralMacros(evaluator, beyond, &kept), nullptr) << round;
        EXPECT_EQ(Engine(beyond).first, 0) << round;
    }
}

TEST_F(LiteralMacrosTest, LoadSeesVariablesWrittenDuringAndBetweenLoads)
{
    // The first item leaves "fresh" without a value, the second's command line gives it
    // one, and its own run command, evaluated after that in the same load, reads it.
    const std::string manifest = Manifest(
        Application(1, "", "", "http://h.invalid/&lt;tag&gt;/&lt;fresh&gt;/a.exe") +
        Application(2, "<CommandLineArgs>\"x\" + SetVar(\"fresh\", \"v9\")</CommandLineArgs><ApplyAction><RunCommand>"
                       "<CommandLine>\"run &lt;fresh&gt; &lt;tag&gt;\"</CommandLine></RunCommand></ApplyAction>",
                    "", "http://h.invalid/&lt;tag&gt;/&lt;fresh&gt;/b.exe"));
    ASSERT_EQ(Load(manifest), 1);
    ASSERT_NE(App(1), nullptr);
    EXPECT_EQ(std::wstring(App(0)->url), L"http://h.invalid/v1//a.exe");
    EXPECT_EQ(std::wstring(App(1)->url), L"http://h.invalid/v1//b.exe");
    EXPECT_EQ(std::wstring(App(1)->commandLineArgs), L"xv9");
    EXPECT_EQ(std::wstring(App(1)->commandLine), L"run v9 v1");
    // The library's variable written between two loads: the next load reads the new value.
    imp->SetVariable(L"tag", CValue::Text(L"v2"));
    // (The items of a load are added to those already held; the evaluator keeps "fresh".)
    ASSERT_EQ(Load(manifest), 1);
    ASSERT_NE(App(2), nullptr);
    EXPECT_EQ(std::wstring(App(2)->url), L"http://h.invalid/v2/v9/a.exe");
}

} // namespace
