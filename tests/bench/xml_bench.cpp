// The XML reader against pugixml on a generated manifest-like document of more than
// 20 MB of UTF-8: load from memory, and a walk of every element and attribute. Prints
// the ratios ours/pugixml and the memory of the element index against the wide text.
#include "updater/config/xml_document.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

// Items of a manifest: attributes, text with entities, CDATA, non-ASCII text.
std::string MakeDocument(size_t minBytes)
{
    std::string doc = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<!-- generated manifest -->\n"
                      "<Manifest schema=\"2.00\" product=\"KVCH\" brand=\"Vesk\">\n";
    char buf[2048];
    for (int i = 0; doc.size() < minBytes; ++i) {
        std::snprintf(buf, sizeof buf,
                      "  <Item id=\"item%06d\" type=\"installable\" version=\"%d.%d.%d.%d\" lang=\"eng\" bitness=\"64\">\n"
                      "    <Name>Tandemix driver &amp; utilities %d</Name>\n"
                      "    <Requirement expr=\"OSVer() &gt;= 601 &amp;&amp; Bitness() == 64 &amp;&amp; Lang() != &quot;jpn&quot;\"/>\n"
                      "    <Description><![CDATA[Fixes <b>pairing</b> of receiver %d; caf\xC3\xA9, \xC3\xBC" "ber, \xE2\x80\x9Cquoted\xE2\x80\x9D]]></Description>\n"
                      "    <Payload url=\"http://updates.example.invalid/kvch/%d/setup_%d.exe\" size=\"%d\" args=\"/S /D=&quot;C:\\Program Files&quot;\" sig=\"setup_%d.sig\"/>\n"
                      "    <LangStrings>\n"
                      "      <String id=\"IDS_TITLE_%d\" lang=\"deu\">\xC3\x9C" "bersetzung Nr. %d &#x2013; &#8220;Treiber&#8221;</String>\n"
                      "      <String id=\"IDS_BODY_%d\" lang=\"jpn\">\xE3\x83\x89\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x90 %d</String>\n"
                      "    </LangStrings>\n"
                      "  </Item>\n",
                      i, i % 7, i % 13, i % 100, i, i, i, i, i, 100000 + i * 37, i, i, i, i, i);
        doc += buf;
    }
    doc += "</Manifest>\n";
    return doc;
}

const std::string& Document()
{
    static const std::string doc = MakeDocument(size_t(21) << 20);
    return doc;
}

void BM_ParseOurs(benchmark::State& state)
{
    const std::string& bytes = Document();
    for (auto _ : state) {
        CXmlDocument doc;
        bool ok = doc.LoadUtf8(bytes.data(), bytes.size());
        if (!ok) state.SkipWithError("document not well formed");
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_ParsePugixml(benchmark::State& state)
{
    const std::string& bytes = Document();
    for (auto _ : state) {
        pugi::xml_document doc;
        pugi::xml_parse_result r = doc.load_buffer(bytes.data(), bytes.size());
        if (!r) state.SkipWithError("pugixml failed");
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

// Every element's name and every attribute's name and value.
size_t WalkOurs(CXmlDocument& doc)
{
    size_t total = 0;
    std::wstring name, attribute, value;
    doc.ResetPosition();
    for (;;) {
        if (doc.FindElement()) {
            doc.GetName(name);
            total += name.size();
            for (int n = 0; doc.GetAttributeName(n, attribute); ++n) {
                doc.GetAttribute(attribute.c_str(), value);
                total += attribute.size() + value.size();
            }
            doc.EnterElement();
            continue;
        }
        if (!doc.LeaveElement()) break;
    }
    return total;
}

size_t WalkPugixml(const pugi::xml_document& doc)
{
    size_t total = 0;
    pugi::xml_node node = doc.first_child();
    while (node) {
        if (node.type() == pugi::node_element) {
            total += std::strlen(node.name());
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
                total += std::strlen(a.name()) + std::strlen(a.value());
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling()) node = node.parent();
        if (node) node = node.next_sibling();
    }
    return total;
}

void BM_WalkOurs(benchmark::State& state)
{
    CXmlDocument doc;
    doc.LoadUtf8(Document().data(), Document().size());
    for (auto _ : state) benchmark::DoNotOptimize(WalkOurs(doc));
}

void BM_WalkPugixml(benchmark::State& state)
{
    pugi::xml_document doc;
    doc.load_buffer(Document().data(), Document().size());
    for (auto _ : state) benchmark::DoNotOptimize(WalkPugixml(doc));
}

BENCHMARK(BM_ParseOurs)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ParsePugixml)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WalkOurs)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WalkPugixml)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::string& bytes = Document();

    CXmlDocument doc;
    if (!doc.LoadUtf8(bytes.data(), bytes.size())) {
        std::printf("the generated document does not load: %ls\n", doc.GetResultText().c_str());
        return 1;
    }
    pugi::xml_document pdoc;
    pdoc.load_buffer(bytes.data(), bytes.size());
    size_t elements = pdoc.select_nodes("//*").size();
    std::printf("document: %zu bytes of UTF-8, %zu elements, %zu wide chars\n", bytes.size(), elements,
                doc.GetDocumentText().size());

    zv::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // Wall-clock ratios are the measure; CPU-time ratios are shown beside them because
    // other work on a busy machine stretches wall-clock times unevenly.
    auto ratio = zv::bench::RatioReporter::Ratio;
    double parse = ratio(reporter.times, "BM_ParseOurs", "BM_ParsePugixml");
    double walk = ratio(reporter.times, "BM_WalkOurs", "BM_WalkPugixml");
    double parseCpu = ratio(reporter.cpuTimes, "BM_ParseOurs", "BM_ParsePugixml");
    double walkCpu = ratio(reporter.cpuTimes, "BM_WalkOurs", "BM_WalkPugixml");
    size_t index = doc.IndexBytes();
    size_t wide = doc.GetDocumentText().size() * sizeof(wchar_t);
    size_t utf16 = doc.GetDocumentText().size() * 2;
    auto verdict = [](double r) { return r > 0 && r <= 2.0 ? "met" : "NOT met"; };
    std::printf("\nparse ratio ours/pugixml: %.2f (goal <= 2.0: %s; CPU time %.2f)\n", parse, verdict(parse), parseCpu);
    std::printf("walk ratio ours/pugixml:  %.2f (goal <= 2.0: %s; CPU time %.2f)\n", walk, verdict(walk), walkCpu);
    std::printf("element index: %zu bytes; wide text: %zu bytes (%zu-byte wchar_t), %zu bytes as UTF-16 (goal index <= "
                "wide text: %s)\n",
                index, wide, sizeof(wchar_t), utf16, index <= wide ? "met" : "NOT met");
    return 0;
}
