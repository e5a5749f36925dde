// Installable selection: requirement outcomes, masks, the version test, the GUID
// rule, the container filter and the log lines a support engineer reads.
#include "core_fixture.h"

#include "support/log_capture.h"

#include <cstdio>
#include <cstring>

using namespace zvcoretest;
using com_quorvane_value::CValue;

namespace {

std::string Requirement(int id, int hard, const std::string& expression)
{
    return "<Requirement id=\"" + std::to_string(id) + "\" isHardLimit=\"" + std::to_string(hard) + "\"><ValueExpression>" + expression +
           "</ValueExpression></Requirement>";
}

std::string Requirements(const std::string& list)
{
    return "<Requirements>" + list + "</Requirements>";
}

std::string Needs(const std::string& ids)
{
    return "<MinRequirementsIds>" + ids + "</MinRequirementsIds>";
}

std::string Named(int id, const std::string& name, const std::string& version, const std::string& attributes = "", const std::string& extra = "")
{
    // The reader takes the first of repeated attributes: the caller's come first.
    return "<Application " + attributes + " id=\"" + std::to_string(id) + "\" componentName=\"" + name + "\" componentVersion=\"" + version +
           "\" isSelected=\"1\" isUnselectable=\"1\" requiredSpaceMB=\"1\" estInstallTimeMins=\"1\"><Url>http://h/a.exe</Url>" + extra +
           "</Application>";
}

class Selection : public CoreTest {
protected:
    std::vector<int> Standard()
    {
        std::vector<ZvLib_CItemBase*> list;
        imp->GetListOfSelectedInstallables(list);
        return Ids(list);
    }
};

TEST_F(Selection, WithoutInstalledProductsEveryItemPassesTheVersionTest)
{
    ASSERT_EQ(Load(Manifest(Named(1, "tandemix", "0.1") + Named(2, "other", "0"))), 1);
    EXPECT_EQ(Standard(), (std::vector<int>{1, 2}));
}

TEST_F(Selection, VersionTestAgainstInstalledProducts)
{
    group->config.installedProducts[L"tandemix"] = L"0.00.00";
    group->config.installedProducts[L"same"] = L"1.2";
    ASSERT_EQ(Load(Manifest(Named(1, "tandemix", "1.0.0.5") + Named(2, "other", "9.0") + Named(3, "same", "1.2.0.0") + Named(4, "Tandemix", "2.0"))), 1);
    zv::test::LogLines log(3);
    EXPECT_EQ(Standard(), (std::vector<int>{1}));
    EXPECT_EQ(log.Count(L"[Info2] ZV: ZvLib: ----- GetListOfItems: T Item 1 (tandemix) passed version comparison test.  Version on server > installedVersion: 1.0.0.5 > 0.00.00\n"), 1);
    EXPECT_EQ(log.Count(L"[Info2] ZV: ZvLib: ----- GetListOfItems: F Item 3 (same) failed version comparison test.  Version on server <= installedVersion: 1.2.0.0 <= 1.2\n"), 1);
    EXPECT_EQ(log.Count(L"[Info2] ZV: ZvLib: ----- GetListOfItems: F Item 2 (other) failed one or more criteria (CnCv ), will not be presented to the application.\n"), 1);
    // Names are matched with case.
    EXPECT_EQ(log.Count(L"F Item 4 (Tandemix) failed one or more criteria (CnCv )"), 1);
}

TEST_F(Selection, MasksArePrintedAsUnsignedFollowedByTheLetterL)
{
    zv::test::LogLines log(3);
    std::vector<ZvLib_CItemBase*> list;
    EXPECT_EQ(imp->GetListOfSelectedInstallables(list), 0);
    std::vector<std::wstring> expected = {
        L"[Info2] ZV: ZvLib: ----> GetListOfItems: eBonusItemMask: 4294967295l, eCriteriaResultMask: 77l, eUserSelectionMask: 2l, eTypeMask: 2l.  Ids are Id within manifest.\n",
        L"[Info2] ZV: ZvLib: ----- GetListOfItems: T ------------------------ Summary:\n",
        L"[Info2] ZV: ZvLib: ----- GetListOfItems: T ------------------------\n",
        L"[Info2] ZV: ZvLib: ----< GetListOfItems ends.\n",
    };
    EXPECT_EQ(log.All(), expected);
}

TEST_F(Selection, HardFailureStopsEvaluationAndExcludesTheItem)
{
    ASSERT_EQ(Load(Manifest(Named(1, "a", "1", "", Needs("1,2")) + Named(2, "b", "1", "", Needs("2")),
                            Requirements(Requirement(1, 1, "1 == 2") + Requirement(2, 0, "nosuchvariable")))),
              1);
    zv::test::LogLines log(3);
    EXPECT_EQ(Standard(), (std::vector<int>{2}));
    ZvLib_CItemBase& a = *imp->items[0];
    EXPECT_EQ(a.meetsHardRequirements, 0);
    EXPECT_EQ(a.softRequirementState, -1);
    ASSERT_EQ(a.failedHardRequirements.size(), 1u);
    EXPECT_EQ(a.failedHardRequirements[0]->id, 1);
    EXPECT_EQ(log.Count(L"F Item 1 (a) failed one or more criteria (CriteriaResultMask ), will not be presented"), 1);
    // Requirement 2 was evaluated for item 2 only.
    EXPECT_EQ(log.Count(L"[Info2] ZV: CUpdaterImp::EvaluateItemRequirement: Failed to evaluate expression, id: 2, req group info: 101, expression: nosuchvariable\n"), 1);
}

TEST_F(Selection, SoftFailureLeavesTheItemEligible)
{
    ASSERT_EQ(Load(Manifest(Named(1, "a", "1", "", Needs("1,2,3")),
                            Requirements(Requirement(1, 0, "1") + Requirement(2, 0, "0") + Requirement(3, 0, "2 &gt; 1")))),
              1);
    EXPECT_EQ(Standard(), (std::vector<int>{1}));
    ZvLib_CItemBase& a = *imp->items[0];
    EXPECT_EQ(a.meetsHardRequirements, 1);
    EXPECT_EQ(a.softRequirementState, 1);
    ASSERT_EQ(a.failedSoftRequirements.size(), 1u);
    EXPECT_EQ(a.failedSoftRequirements[0]->id, 2);
    EXPECT_EQ(imp->EvaluateItemRequirement(a, 0, 0), 0);
}

TEST_F(Selection, RequirementOutcomes)
{
    struct {
        const char* expression;
        int result, hard, soft;
    } cases[] = {
        {"1", 1, 1, 0},
        {"0", 0, 0, -1},
        {"\"0\"", 0, 0, -1},
        {"0.0", 0, 0, -1},
        {"1 - 1", 0, 0, -1},
        // The language's own equality: a text that is not "0" is not the integer 0.
        {"\"abc\"", 1, 1, 0},
        {"\"\"", 1, 1, 0},
        // Unevaluable: neither met nor failed.
        {"1 +", 1, 1, -1},
    };
    std::string apps, requirements;
    int id = 1;
    for (const auto& c : cases) {
        apps += Named(id, "a" + std::to_string(id), "1", "", Needs(std::to_string(id)));
        requirements += Requirement(id, 1, c.expression);
        ++id;
    }
    ASSERT_EQ(Load(Manifest(apps, Requirements(requirements))), 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        ZvLib_CItemBase& item = *imp->items[i];
        EXPECT_EQ(imp->EvaluateItemRequirement(item, 0, 0), cases[i].result) << cases[i].expression;
        EXPECT_EQ(item.meetsHardRequirements, cases[i].hard) << cases[i].expression;
        EXPECT_EQ(item.softRequirementState, cases[i].soft) << cases[i].expression;
    }
}

TEST_F(Selection, RequirementsOfAnotherGroupAndUnknownIdsAreSkipped)
{
    ASSERT_EQ(Load(Manifest(Named(1, "a", "1", "", Needs("1,9")), Requirements(Requirement(1, 1, "1")))), 1);
    ZvLib_CRequestGroupInfo* other = nullptr;
    ASSERT_EQ(updater.CreateRequestGroupInfo(&other), 1);
    std::string failing = Manifest("", Requirements(Requirement(1, 1, "0")));
    ASSERT_EQ(imp->LoadManifestUtf8(failing.data(), failing.size(), L"other", other->config), 1);
    // The other group's requirement 1 comes first in the list but is not this item's.
    std::swap(imp->requirements[0], imp->requirements[1]);
    EXPECT_EQ(imp->EvaluateItemRequirement(*imp->items[0], 0, 0), 1);
    EXPECT_EQ(imp->items[0]->softRequirementState, 0);
}

TEST_F(Selection, TheFirstRequirementWithAnIdCounts)
{
    // A repeated id: the earlier one in the manifest decides, in a selection as in a
    // single evaluation.
    ASSERT_EQ(Load(Manifest(Named(1, "a", "1", "", Needs("1")) + Named(2, "b", "1", "", Needs("2")),
                            Requirements(Requirement(1, 1, "0") + Requirement(1, 1, "1") + Requirement(2, 1, "1") + Requirement(2, 1, "0")))),
              1);
    EXPECT_EQ(Standard(), (std::vector<int>{2}));
    EXPECT_EQ(imp->EvaluateItemRequirement(*imp->items[0], 0, 0), 0);
    EXPECT_EQ(imp->EvaluateItemRequirement(*imp->items[1], 0, 0), 1);
}

TEST_F(Selection, EveryRequirementSeesTheLibraryVariables)
{
    // A requirement that changes a library variable with SetVar changes it for itself
    // only: the next one sees the library's value again. A name the library does not
    // hold stays with the evaluator, as a copy of the library's table leaves it.
    imp->SetVariable(L"target", CValue::Text(L"yes"));
    ASSERT_EQ(Load(Manifest(Named(1, "a", "1", "", Needs("1,2")) + Named(2, "b", "1", "", Needs("2,1,2")) + Named(3, "c", "1", "", Needs("3,4")),
                            Requirements(Requirement(1, 0, "SetVar(target, \"no\")") + Requirement(2, 1, "target == \"yes\"") +
                                         Requirement(3, 0, "SetVar(extra, \"7\")") + Requirement(4, 1, "extra == 7")))),
              1);
    EXPECT_EQ(Standard(), (std::vector<int>{1, 2, 3}));
    // Between selections the library's own change is seen.
    imp->SetVariable(L"target", CValue::Text(L"maybe"));
    EXPECT_EQ(Standard(), (std::vector<int>{3}));
    // And a change the evaluator made outside a selection is undone by the next one.
    imp->SetVariable(L"target", CValue::Text(L"yes"));
    imp->evaluator.SetVariable(L"target", CValue::Text(L"no"));
    EXPECT_EQ(Standard(), (std::vector<int>{1, 2, 3}));
}

TEST_F(Selection, SharedRequirementsGiveEachItemWhatItsOwnEvaluationGives)
{
    // Many items name few expressions: each item's outcome in a selection is the one a
    // single evaluation of its own gives, whatever came before it.
    imp->SetVariable(L"os", CValue::Text(L"_w7"));
    const char* expressions[] = {"os == \"_w7\"", "os == \"_xp\"", "0", "NoSuch() == 1", "\"&lt;os&gt;\" == \"_w7\""};
    std::string apps, requirements;
    for (int r = 0; r < 5; ++r) requirements += Requirement(r + 1, r % 2, expressions[r]);
    for (int a = 1; a <= 12; ++a)
        apps += Named(a, "a" + std::to_string(a), "1", "", Needs(std::to_string(a % 5 + 1) + "," + std::to_string((a * 3) % 5 + 1)));
    ASSERT_EQ(Load(Manifest(apps, Requirements(requirements))), 1);
    Standard();
    struct State {
        int hard, soft;
        size_t failedSoft, failedHard;
        bool operator==(const State&) const = default;
    };
    std::vector<State> inSelection, alone;
    for (const auto& item : imp->items)
        inSelection.push_back({item->meetsHardRequirements, item->softRequirementState, item->failedSoftRequirements.size(), item->failedHardRequirements.size()});
    for (const auto& item : imp->items) {
        imp->EvaluateItemRequirement(*item, 0, 0);
        alone.push_back({item->meetsHardRequirements, item->softRequirementState, item->failedSoftRequirements.size(), item->failedHardRequirements.size()});
    }
    EXPECT_TRUE(inSelection == alone);
    // Hard failures, soft failures, passes and unevaluable requirements all occur.
    EXPECT_EQ(Standard(), (std::vector<int>{3, 4, 5, 8, 9, 10}));
    EXPECT_EQ(imp->items[1]->failedSoftRequirements.size(), 1u);
    EXPECT_EQ(imp->items[1]->failedHardRequirements.size(), 1u);
    EXPECT_EQ(imp->items[3]->softRequirementState, 1);
}

TEST_F(Selection, ARequirementWithEffectsIsEvaluatedForEveryItem)
{
    // Shown alerts and reported tokens happen once per evaluation, as without sharing.
    const char* path = "selection_diagnostics.txt";
    FILE* diagnostics = std::fopen(path, "w+");
    ASSERT_NE(diagnostics, nullptr);
    CExpression::SetDiagnosticStream(diagnostics);
    ASSERT_EQ(Load(Manifest(Named(1, "a", "1", "", Needs("1,2")) + Named(2, "b", "1", "", Needs("1,2")) + Named(3, "c", "1", "", Needs("2,1")),
                            Requirements(Requirement(1, 0, "Alert(\"x\") == 0") + Requirement(2, 0, "1 + )")))),
              1);
    Standard();
    CExpression::SetDiagnosticStream(nullptr);
    EXPECT_EQ(machine.alerts.size(), 3u);
    std::rewind(diagnostics);
    int reports = 0;
    char line[256];
    while (std::fgets(line, sizeof line, diagnostics))
        if (std::strstr(line, "Syntax error: unexpected token")) ++reports;
    std::fclose(diagnostics);
    std::remove(path);
    EXPECT_EQ(reports, 3);
}

TEST_F(Selection, ANameTheEvaluatorGainedMidSelectionIsSeenByLaterItems)
{
    // "extra" is unknown until requirement 2 sets it; from then on the evaluator keeps it,
    // so the same text that could not be evaluated for item 1 holds for item 3.
    ASSERT_EQ(Load(Manifest(Named(1, "a", "1", "", Needs("1")) + Named(2, "b", "1", "", Needs("2")) + Named(3, "c", "1", "", Needs("1")),
                            Requirements(Requirement(1, 1, "extra == 7") + Requirement(2, 0, "SetVar(extra, \"7\")")))),
              1);
    Standard();
    EXPECT_EQ(imp->items[0]->softRequirementState, -1);
    EXPECT_EQ(imp->items[2]->softRequirementState, 0);
    EXPECT_EQ(imp->items[2]->meetsHardRequirements, 1);
}

TEST_F(Selection, LoadTimeTextsSeeTheLibraryVariables)
{
    // Each text evaluated while loading gets the library's variables afresh, as a
    // selection's requirements do.
    imp->SetVariable(L"dir", CValue::Text(L"pkg"));
    std::string app1 = Application(1, "<CommandLineArgs>SetVar(dir, \"other\") + \"/x\"</CommandLineArgs>", "", "http://h/&lt;dir&gt;/a.exe");
    std::string app2 = Application(2, "<CommandLineArgs>dir + \"/y\"</CommandLineArgs>", "", "http://h/&lt;dir&gt;/b.exe");
    ASSERT_EQ(Load(Manifest(app1 + app2)), 1);
    ASSERT_NE(App(1), nullptr);
    EXPECT_EQ(App(0)->commandLineArgs, L"other/x");
    EXPECT_EQ(App(1)->url, L"http://h/pkg/b.exe");
    EXPECT_EQ(App(1)->commandLineArgs, L"pkg/y");
}

TEST_F(Selection, DeselectionBitsChangeOnlyChangeableItems)
{
    ASSERT_EQ(Load(Manifest(Named(1, "a", "1", "", Needs("1")) + Named(2, "b", "1", "", Needs("2")) +
                                Named(3, "c", "1", "isUnselectable=\"0\"", Needs("1")),
                            Requirements(Requirement(1, 1, "0") + Requirement(2, 0, "0")))),
              1);
    std::vector<ZvLib_CItemBase*> list;
    imp->GetListOfItems(list, -1, 77, 2, 2);
    EXPECT_EQ(imp->items[0]->isSelected, 1);
    imp->GetListOfItems(list, -1, 77 | 0x10 | 0x20, 2, 2);
    EXPECT_EQ(imp->items[0]->isSelected, 0);
    EXPECT_EQ(imp->items[1]->isSelected, 0);
    EXPECT_EQ(imp->items[2]->isSelected, 1);
}

TEST_F(Selection, OneItemPerProductGuid)
{
    struct {
        const char* first;
        const char* second;
        int kept;
    } cases[] = {{"1.0", "1.1", 2}, {"1.1", "1.0", 1}, {"1.0", "1.0", 1}};
    for (const auto& c : cases) {
        zv::expr::FakeMachine m;
        ZvLib_CUpdater u(m);
        ASSERT_EQ(u.Initialize(), 1);
        ZvLib_CRequestGroupInfo* g = nullptr;
        ASSERT_EQ(u.CreateRequestGroupInfo(&g), 1);
        std::string text = Manifest(Named(1, "x", c.first, "productGUID=\"{P}\"") + Named(2, "x", c.second, "productGUID=\"{P}\"") +
                                    Named(3, "y", "1.0", "productGUID=\"{Q}\""));
        ASSERT_EQ(u.Imp()->LoadManifestUtf8(text.data(), text.size(), L"m", g->config), 1);
        zv::test::LogLines log(3);
        std::vector<ZvLib_CItemBase*> list;
        EXPECT_EQ(u.Imp()->GetListOfSelectedInstallables(list), 1);
        EXPECT_EQ(Ids(list), (std::vector<int>{c.kept, 3})) << c.first << " " << c.second;
        EXPECT_EQ(log.Count(L"[Info2] ZV: ZvLib: ----- GetListOfItems: T Item 1 (x) contains Product GUID '{P}'. Checking if unique.\n"), 1);
        // Without bit 0x40 both stay.
        u.Imp()->GetListOfItems(list, -1, 77 & ~0x40, 2, 2);
        EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 3}));
    }
}

TEST_F(Selection, SelectedBonusItemPassesWhateverItsTypeAndVersion)
{
    group->config.installedProducts[L"main"] = L"5.0";
    ASSERT_EQ(Load(Manifest(Named(1, "bonus", "0.1", "isBonusItem=\"1\"") + Named(2, "main", "1.0") +
                            Named(3, "bonus2", "0.1", "isBonusItem=\"1\" isSelected=\"0\""))),
              1);
    zv::test::LogLines log(3);
    EXPECT_EQ(Standard(), (std::vector<int>{1}));
    EXPECT_EQ(log.Count(L"F Item 3 (bonus2) failed one or more criteria (SelectionMask ), will not"), 1);
    EXPECT_EQ(log.Count(L"T Item 1 (bonus) (0.1) passed all criteria, will be presented to the application."), 1);
    // A container is not of type 2, so a bonus needs the bonus path there too.
    std::vector<ZvLib_CItemBase*> list;
    imp->GetListOfItems(list, 0, 77, 2, 2);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(log.Count(L"F Item 1 (bonus) failed one or more criteria (CnCv ), will not"), 1);
}

TEST_F(Selection, ContainersAreOfferedOnlyWithTheirOwnSubcomponent)
{
    std::string sub = "<Subcomponent id=\"11\" componentName=\"s\" componentVersion=\"1\" isSelected=\"1\" requiredSpaceMB=\"1\" "
                      "estInstallTimeMins=\"1\"><Url>http://h/s.exe</Url></Subcomponent>";
    std::string unselected = "<Subcomponent id=\"21\" componentName=\"t\" componentVersion=\"1\" isSelected=\"0\" requiredSpaceMB=\"1\" "
                             "estInstallTimeMins=\"1\"><Url>http://h/t.exe</Url></Subcomponent>";
    ASSERT_EQ(Load(Manifest("<Container id=\"10\" componentName=\"c1\" isSelected=\"1\">" + sub + "</Container>" +
                            "<Container id=\"20\" componentName=\"c2\" isSelected=\"1\">" + unselected + "</Container>" + Named(30, "app", "1"))),
              1);
    zv::test::LogLines log(3);
    std::vector<ZvLib_CItemBase*> list;
    EXPECT_EQ(imp->GetListOfItems(list, -1, 77, 2, -1), 1);
    EXPECT_EQ(Ids(list), (std::vector<int>{10, 11, 30}));
    // The summary lists the result before the filter.
    EXPECT_EQ(log.Count(L"[Info2] ZV: ZvLib: ----- GetListOfItems: T summary: Item 20 (c2)\n"), 1);
    // The standard selection takes installables only.
    EXPECT_EQ(Standard(), (std::vector<int>{11, 30}));
    EXPECT_EQ(log.Count(L"F Item 10 (c1) failed one or more criteria (TypeMask ), will not"), 1);
}

TEST_F(Selection, MaskBitsTable)
{
    ASSERT_EQ(Load(Manifest(Named(1, "met", "1") + Named(2, "hardfail", "1", "", Needs("1")) + Named(3, "unselected", "1", "isSelected=\"0\"") +
                                Named(4, "softfail", "1", "", Needs("2")),
                            Requirements(Requirement(1, 1, "0") + Requirement(2, 0, "0")))),
              1);
    struct {
        int criteria, selection, type;
        std::vector<int> ids;
    } cases[] = {
        {0x1, 2, 2, {1, 4}},  {0x2, 2, 2, {2}},    {0x4, -1, 2, {}},      {0x8, 2, 2, {4}},
        // -1 holds the deselect bits too: the failing items 2 and 4 are unselected from here on.
        {-1, 1, 2, {2, 3, 4}},
        {-1, -1, 0x4, {1, 2, 3, 4}}, {-1, -1, 0x8, {}}, {-1, 2, 0x1, {}},
    };
    for (const auto& c : cases) {
        std::vector<ZvLib_CItemBase*> list;
        imp->GetListOfItems(list, 0, c.criteria, c.selection, c.type);
        EXPECT_EQ(Ids(list), c.ids) << c.criteria << " " << c.selection << " " << c.type;
    }
}

} // namespace
