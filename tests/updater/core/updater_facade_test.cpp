// The facade and the implementation's state: initialisation, request groups, language,
// variables and evaluation.
#include "core_fixture.h"

#include "support/log_capture.h"
#include "updater/expr/seed_variables.h"

using namespace zvcoretest;
using com_quorvane_value::CValue;

namespace {

TEST(UpdaterFacade, InitialisationLogsVersionTempAndKeyAndSeedsVariables)
{
    zv::Log().EnsureInitialised();
    zv::expr::FakeMachine machine;
    machine.programDir = L"C:\\Program Files\\Vesk";
    zv::test::LogLines log(2);
    ZvLib_CUpdater updater(machine);
    EXPECT_EQ(updater.IsInitialized(), 0);
    ASSERT_EQ(updater.Initialize(), 1);
    EXPECT_EQ(updater.IsInitialized(), 1);
    std::vector<std::wstring> expected = {
        L"[Info1] ZV: ZvLib: ****** LibVersion: '2.40.40'\n",
        L"[Info1] ZV: ZvLib: ****** Using temp directory 'C:\\users\\user\\Temp\\'\n",
        L"[Info1] ZV: ZvLib: ****** Using public key file 'C:\\Program Files\\Vesk\\quorkey.pub' if resource option is not available\n",
    };
    EXPECT_EQ(log.All(), expected);

    CUpdaterImp* imp = updater.Imp();
    EXPECT_EQ(imp->GetTempDir(), L"C:\\users\\user\\Temp\\");
    EXPECT_EQ(imp->initialised, 1);
    for (const wchar_t* name : {L"rebootrequired", L"tempdir", L"os", L"bitness", L"brand", L"windir", L"parentdir", L"lang", L"langid", L"langhexid"})
        EXPECT_TRUE(imp->variables.count(name)) << zv::ToUtf8(name);
    EXPECT_EQ(imp->variables.at(L"tempdir")->AsText(), L"C:\\users\\user\\Temp");
    EXPECT_EQ(imp->variables.at(L"parentdir")->AsText(), L"C:\\Program Files");

    // A second Initialize keeps the first object.
    EXPECT_EQ(updater.Initialize(), 1);
    EXPECT_EQ(updater.Imp(), imp);
}

TEST(UpdaterFacade, TempAlreadyEndingInABackslashGetsOneMore)
{
    zv::expr::FakeMachine machine;
    machine.SetEnvironment(L"TEMP", L"D:\\t\\");
    ZvLib_CUpdater updater(machine);
    ASSERT_EQ(updater.Initialize(), 1);
    EXPECT_EQ(updater.Imp()->GetTempDir(), L"D:\\t\\\\");
    EXPECT_EQ(updater.Imp()->variables.at(L"tempdir")->AsText(), L"D:\\t");
}

TEST(UpdaterFacade, WithoutTempInitialiseFailsButStaysUsableAndLoadsNothing)
{
    zv::Log().EnsureInitialised();
    zv::expr::FakeMachine machine;
    machine.SetEnvironment(L"TEMP", L"");
    ZvLib_CUpdater updater(machine);
    EXPECT_EQ(updater.Initialize(), 0);
    ASSERT_EQ(updater.IsInitialized(), 1);
    CUpdaterImp* imp = updater.Imp();
    EXPECT_EQ(imp->GetTempDir(), L"");
    EXPECT_EQ(imp->variables.at(L"tempdir")->AsText(), L"");

    // Payload paths would be relative to whatever the current directory is: refused.
    ZvLib_CRequestGroupInfo* group = nullptr;
    ASSERT_EQ(updater.CreateRequestGroupInfo(&group), 1);
    zv::test::LogLines log(1);
    std::string text = Manifest(Application(1));
    EXPECT_EQ(imp->LoadManifestUtf8(text.data(), text.size(), L"m.xml", group->config), 0);
    EXPECT_TRUE(imp->items.empty());
    EXPECT_EQ(log.Count(L"ZvLib ERROR: LoadManifest: no temp directory, manifest 'm.xml' not loaded."), 1);
}

TEST(UpdaterFacade, RequestGroupsGetIdsFrom101)
{
    zv::expr::FakeMachine machine;
    ZvLib_CUpdater updater(machine);
    ASSERT_EQ(updater.Initialize(), 1);
    ZvLib_CRequestGroupInfo *first = nullptr, *second = nullptr;
    ASSERT_EQ(updater.CreateRequestGroupInfo(&first), 1);
    ASSERT_EQ(updater.CreateRequestGroupInfo(&second), 1);
    EXPECT_EQ(first->id, 101);
    EXPECT_EQ(first->config.requestGroupId, 101);
    EXPECT_EQ(second->id, 102);
    EXPECT_EQ(updater.Imp()->FindRequestGroupInfo(102), second);
    EXPECT_EQ(updater.Imp()->FindRequestGroupInfo(100), nullptr);
    // Ids continue from the largest present.
    first->id = 150;
    ZvLib_CRequestGroupInfo* third = nullptr;
    ASSERT_EQ(updater.CreateRequestGroupInfo(&third), 1);
    EXPECT_EQ(third->id, 151);
}

TEST(UpdaterFacade, WithoutImplementationCreateRequestGroupInfoClearsTheOutPointerAndFails)
{
    zv::expr::FakeMachine machine;
    ZvLib_CUpdater updater(machine);
    ZvLib_CRequestGroupInfo dummy;
    ZvLib_CRequestGroupInfo* group = &dummy;
    EXPECT_EQ(updater.CreateRequestGroupInfo(&group), 0);
    EXPECT_EQ(group, nullptr);
    EXPECT_EQ(updater.CreateRequestGroupInfo(nullptr), 0);
    updater.SetCancelEventName(L"Local\\CancelEvent"); // no effect, no crash
}

TEST_F(CoreTest, LangGivesTheGroupsLanguageOrLogsAnUnknownGroup)
{
    EXPECT_EQ(imp->Lang(101), L"ENU");
    zv::test::LogLines log(1);
    EXPECT_EQ(imp->Lang(7), L"");
    EXPECT_EQ(log.All(), std::vector<std::wstring>{L"[Error] ZV: ZvLib ERROR from CUpdaterImp::Lang(): Rgi not found, iIdOfRequestGroupInfo: 7\n"});
}

TEST_F(CoreTest, SetVariableAndEvaluateToText)
{
    imp->SetVariable(L"answer", CValue::Int(41));
    imp->SetVariable(L"answer", CValue::Int(42)); // assigns the existing value
    std::wstring out;
    EXPECT_EQ(imp->EvaluateToText(L"answer + 1", out), 1);
    EXPECT_EQ(out, L"43");
    EXPECT_EQ(imp->EvaluateToText(L"\"<tempdir>\\x\"", out), 1);
    EXPECT_EQ(out, L"C:\\users\\user\\Temp\\x");
    // Failure leaves the expression as written.
    EXPECT_EQ(imp->EvaluateToText(L"1 +", out), 0);
    EXPECT_EQ(out, L"1 +");
}

TEST_F(CoreTest, LiteralTextsEvaluateAsTheEngineEvaluatesThem)
{
    // Whatever shortcut a text takes, the result is the engine's, failures included.
    machine.SetEnvironment(L"ZVTEST", L"env");
    imp->SetVariable(L"tag", CValue::Text(L"v1"));
    const std::wstring cases[] = {
        L"\"/quiet\"", L"\"\"", L"\"a b\t\r\n\"", L"\"say \"\"hi\"\"\"", L"\"<tag>\\x\"", L"\"%ZVTEST%\"", L"\"a<b\"", L"\"5%\"",
        L"\"x\" + \"y\"", L"\"a\"b\"", L"\"unterminated", L"\"", L" \"lead\"", L"\"trail\" ", L"run.exe", L"\"\\\\server\\share\"",
    };
    for (const auto& text : cases) {
        ZVExpr engine(machine);
        std::wstring want, got = L"stale";
        const bool ok = zv::expr::EvaluateToText(engine, imp->variables, text, want);
        EXPECT_EQ(imp->EvaluateToText(text, got), ok ? 1 : 0) << zv::ToUtf8(text);
        EXPECT_EQ(got, want) << zv::ToUtf8(text);
    }
}

TEST_F(CoreTest, CancelEventNameIsStored)
{
    updater.SetCancelEventName(L"Local\\CancelEvent");
    EXPECT_EQ(imp->cancelEventName, L"Local\\CancelEvent");
}

} // namespace
