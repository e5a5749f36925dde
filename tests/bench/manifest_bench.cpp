// Loading a manifest and running the standard selection, against parsing the same
// document alone with the XML reader. The generated manifest has 2,000 applications,
// 200 containers with subcomponents, 500 requirements and display strings in three
// languages. Prints the ratio load-and-select / parse, and the selection alone and the
// freeing of the loaded objects against parse, to show where the time goes.
#include "updater/config/xml_document.h"
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"
#include "support/fake_machine/fake_machine.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr int kApplications = 2000;
constexpr int kContainers = 200;
constexpr int kSubcomponents = 3; // per container
constexpr int kRequirements = 500;
const char* const kLanguages[] = {"enu", "deu", "jpn"};

std::string MakeManifest()
{
    std::string doc = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<ZV_Manifest name=\"tandemix\" internalName=\"bench\" contentRevision=\"1\">\n";
    char buf[4096];
    doc += "<DisplayStrings>\n";
    for (int i = 0; i < kApplications + kContainers * (1 + kSubcomponents); ++i) {
        std::snprintf(buf, sizeof buf, "<Entry id=\"IDS_NAME_%d\">", i);
        doc += buf;
        for (const char* lang : kLanguages) {
            std::snprintf(buf, sizeof buf, "<String lang=\"%s\">Tandemix component %d (%s) &amp; tools</String>", lang, i, lang);
            doc += buf;
        }
        doc += "</Entry>\n";
    }
    doc += "</DisplayStrings>\n<UiItems>\n";
    int id = 1;
    auto appBody = [](int n, int reqA, int reqB) {
        char body[2048];
        std::snprintf(body, sizeof body,
                      " componentVersion=\"%d.%d.%d.%d\" isSelected=\"1\" isUnselectable=\"1\" category=\"Recommended\" dlSizeMB=\"12\" "
                      "requiredSpaceMB=\"40\" estInstallTimeMins=\"2\">\n"
                      "  <DisplayNameId>IDS_NAME_%d</DisplayNameId><DescriptionId>IDS_NAME_%d</DescriptionId>\n"
                      "  <Url>http://dl.example.invalid/&lt;lang&gt;/pkg/setup_%d.exe</Url>\n"
                      "  <CommandLineArgs>\"/S /LOG=\" + tempdir + \"\\\\setup_%d.log\"</CommandLineArgs>\n"
                      "  <MinRequirementsIds>%d, %d</MinRequirementsIds>\n",
                      1 + n % 3, n % 10, n % 100, n, n, n, n, n, reqA, reqB);
        return std::string(body);
    };
    for (int c = 0; c < kContainers; ++c, ++id) {
        int containerId = id;
        std::snprintf(buf, sizeof buf, "<Container id=\"%d\" componentName=\"suite%d\" componentVersion=\"1.0\" isSelected=\"1\">\n"
                                       "  <DisplayNameId>IDS_NAME_%d</DisplayNameId>\n",
                      containerId, c, kApplications + c);
        doc += buf;
        for (int s = 0; s < kSubcomponents; ++s) {
            ++id;
            std::snprintf(buf, sizeof buf, "<Subcomponent id=\"%d\" componentName=\"sub%d\"", id, id);
            doc += std::string(buf) + appBody(id, id % kRequirements + 1, (id * 7) % kRequirements + 1);
            if (s > 0) {
                std::snprintf(buf, sizeof buf, "  <DependsUponSubcomponentIds>%d</DependsUponSubcomponentIds>\n", containerId + 1);
                doc += buf;
            }
            doc += "</Subcomponent>\n";
        }
        doc += "</Container>\n";
    }
    for (int a = 0; a < kApplications; ++a, ++id) {
        // One product in ten comes in two versions (a GUID shared with the one before):
        // the GUID rule keeps the newer.
        std::snprintf(buf, sizeof buf, "<Application id=\"%d\" productGUID=\"{%08d-0000-4000-8000-000000000000}\" componentName=\"app%d\"", id,
                      a % 10 == 1 ? a - 1 : a, a);
        doc += std::string(buf) + appBody(a, a % kRequirements + 1, (a * 13) % kRequirements + 1);
        if (a % 4 == 0)
            doc += "  <ApplyAction><RequiresElevation>1</RequiresElevation><RunCommand><DestFilename>run.exe</DestFilename>"
                   "<CommandLine>\"/quiet\"</CommandLine></RunCommand></ApplyAction>\n";
        doc += "</Application>\n";
    }
    doc += "</UiItems>\n<Requirements>\n";
    const char* const expressions[] = {"os == \"_w7\"", "bitness == \"64\"", "langid == 1033", "OSVer() &gt;= 601", "1 &gt; 2"};
    for (int r = 1; r <= kRequirements; ++r) {
        std::snprintf(buf, sizeof buf,
                      "<Requirement id=\"%d\" isHardLimit=\"%d\" name=\"r%d\" note=\"n\"><ValueExpression>%s</ValueExpression>"
                      "<WarningStringId>IDS_NAME_%d</WarningStringId></Requirement>\n",
                      r, r % 5 == 4 ? 0 : 1, r, expressions[r % 5], r);
        doc += buf;
    }
    doc += "</Requirements>\n</ZV_Manifest>\n";
    return doc;
}

const std::string& Manifest()
{
    static const std::string doc = MakeManifest();
    return doc;
}

struct Outcome {
    std::wstring problem; // why the manifest did not load
    size_t items = 0;
    size_t requirements = 0;
    size_t selected = 0;
};

// Loads the manifest into updater and runs the standard selection.
Outcome LoadAndSelectInto(ZvLib_CUpdater& updater)
{
    updater.Initialize();
    ZvLib_CRequestGroupInfo* group = nullptr;
    updater.CreateRequestGroupInfo(&group);
    group->config.productAbbr = L"TVK";
    group->config.language = L"DEU";
    CUpdaterImp* imp = updater.Imp();
    const std::string& bytes = Manifest();
    Outcome o;
    if (!imp->LoadManifestUtf8(bytes.data(), bytes.size(), L"bench.man.xml", group->config, &o.problem)) return o;
    std::vector<ZvLib_CItemBase*> selected;
    imp->GetListOfSelectedInstallables(selected);
    o.items = imp->items.size();
    o.requirements = imp->requirements.size();
    o.selected = selected.size();
    return o;
}

// A fresh updater each time: loading appends to what an updater holds.
Outcome LoadAndSelect(zv::expr::FakeMachine& machine)
{
    ZvLib_CUpdater updater(machine);
    return LoadAndSelectInto(updater);
}

void BM_LoadAndSelect(benchmark::State& state)
{
    zv::expr::FakeMachine machine;
    for (auto _ : state) {
        Outcome o = LoadAndSelect(machine);
        if (o.items == 0) state.SkipWithError("manifest did not load");
        benchmark::DoNotOptimize(o);
    }
}

void BM_ParseAlone(benchmark::State& state)
{
    const std::string& bytes = Manifest();
    for (auto _ : state) {
        CXmlDocument doc;
        if (!doc.LoadUtf8(bytes.data(), bytes.size())) state.SkipWithError("document not well formed");
        benchmark::DoNotOptimize(doc);
    }
}

// The two halves apart, to show where the time goes.
void BM_SelectAlone(benchmark::State& state)
{
    zv::expr::FakeMachine machine;
    ZvLib_CUpdater updater(machine);
    updater.Initialize();
    ZvLib_CRequestGroupInfo* group = nullptr;
    updater.CreateRequestGroupInfo(&group);
    group->config.productAbbr = L"TVK";
    group->config.language = L"DEU";
    CUpdaterImp* imp = updater.Imp();
    const std::string& bytes = Manifest();
    if (!imp->LoadManifestUtf8(bytes.data(), bytes.size(), L"bench.man.xml", group->config)) state.SkipWithError("manifest did not load");
    std::vector<ZvLib_CItemBase*> selected;
    for (auto _ : state) {
        imp->GetListOfSelectedInstallables(selected);
        benchmark::DoNotOptimize(selected.size());
    }
}

// Freeing what a load made (part of BM_LoadAndSelect's time): the floor the loaded
// objects set, whatever the parsers do.
void BM_FreeAlone(benchmark::State& state)
{
    zv::expr::FakeMachine machine;
    for (auto _ : state) {
        state.PauseTiming();
        auto updater = std::make_unique<ZvLib_CUpdater>(machine);
        if (LoadAndSelectInto(*updater).items == 0) state.SkipWithError("manifest did not load");
        state.ResumeTiming();
        updater.reset();
    }
}

BENCHMARK(BM_LoadAndSelect)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SelectAlone)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FreeAlone)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ParseAlone)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    // --manifest-out=PATH writes the generated manifest and stops, so that other tools
    // (zvtool simulate) can be run on it.
    const std::string outFlag = "--manifest-out=";
    if (argc == 2 && std::string(argv[1]).rfind(outFlag, 0) == 0) {
        std::string path = std::string(argv[1]).substr(outFlag.size());
        FILE* f = std::fopen(path.c_str(), "wb");
        bool ok = f && std::fwrite(Manifest().data(), 1, Manifest().size(), f) == Manifest().size();
        if (f) ok = std::fclose(f) == 0 && ok;
        if (!ok) std::fprintf(stderr, "manifest_bench: cannot write %s\n", path.c_str());
        return ok ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    // The measurement means something only when the whole manifest loads.
    zv::expr::FakeMachine machine;
    Outcome o = LoadAndSelect(machine);
    const size_t expectedItems = kApplications + kContainers * (1 + kSubcomponents);
    std::printf("manifest: %zu bytes; %zu items (expected %zu), %zu requirements, %zu selected\n", Manifest().size(), o.items, expectedItems,
                o.requirements, o.selected);
    if (o.items != expectedItems || o.requirements != size_t(kRequirements) || o.selected == 0) {
        std::printf("the generated manifest did not load as generated: %ls\n", o.problem.c_str());
        return 1;
    }

    zv::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double wall = zv::bench::RatioReporter::Ratio(reporter.times, "BM_LoadAndSelect", "BM_ParseAlone");
    double cpu = zv::bench::RatioReporter::Ratio(reporter.cpuTimes, "BM_LoadAndSelect", "BM_ParseAlone");
    std::printf("\nload-and-select / parse ratio: %.2f (goal <= 3.0: %s; CPU time %.2f)\n", wall, wall > 0 && wall <= 3.0 ? "met" : "NOT met", cpu);
    std::printf("parts / parse: selection alone %.2f, freeing the loaded objects %.2f\n",
                zv::bench::RatioReporter::Ratio(reporter.times, "BM_SelectAlone", "BM_ParseAlone"),
                zv::bench::RatioReporter::Ratio(reporter.times, "BM_FreeAlone", "BM_ParseAlone"));
    return 0;
}
