// zvtool simulate: loads a manifest from disk (no server) and runs the standard
// selection for a described machine and installed versions, so that a publisher can
// test targeting before publishing.
#include "command.h"

#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"
#include "updater/expr/fake_machine.h"
#include "updater/expr/machine.h"
#include "updater/transfer/log.h"
#include "updater/transfer/text_helpers.h"

#include <cwchar>
#include <memory>

namespace {

constexpr const char* kName = "simulate";

void EchoToStderr(const wchar_t* line)
{
    std::wstring text(line);
    if (text.empty() || text.back() != L'\n') text += L'\n';
    zvtool::Err(text);
}

struct Options {
    std::wstring manifest, machineFile, lang, brand;
    bool haveLang = false, haveBrand = false;
    std::vector<std::pair<std::wstring, std::wstring>> installed, vars;
    int trace = 0;
};

// 0 when the arguments are usable, else the usage error's exit code.
int Parse(const zvtool::Args& args, Options& o)
{
    bool haveManifest = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        std::wstring value, name, text;
        if (a == L"--machine" || a == L"--lang" || a == L"--brand" || a == L"--installed" || a == L"--var" || a == L"--trace") {
            if (!zvtool::TakeValue(args, i, value)) return zvtool::UsageError(kName, a + L" needs a value");
        }
        if (a == L"--machine") {
            o.machineFile = value;
        } else if (a == L"--lang") {
            o.lang = value;
            o.haveLang = true;
        } else if (a == L"--brand") {
            o.brand = value;
            o.haveBrand = true;
        } else if (a == L"--installed" || a == L"--var") {
            if (!zvtool::SplitNameValue(value, name, text)) return zvtool::UsageError(kName, a + L" wants NAME=VALUE, got '" + value + L"'");
            (a == L"--var" ? o.vars : o.installed).emplace_back(name, text);
        } else if (a == L"--trace") {
            wchar_t* end = nullptr;
            long n = std::wcstol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < 0 || n > 6) return zvtool::UsageError(kName, L"--trace takes 0..6");
            o.trace = static_cast<int>(n);
        } else if (zvtool::IsOption(a)) {
            return zvtool::UsageError(kName, L"unknown option '" + a + L"'");
        } else if (haveManifest) {
            return zvtool::UsageError(kName, L"one manifest only");
        } else {
            o.manifest = a;
            haveManifest = true;
        }
    }
    if (!haveManifest) return zvtool::UsageError(kName, L"missing MANIFEST");
    return 0;
}

int Simulate(const Options& o, zvexpr::IMachine& machine)
{
    ZvLib_CUpdater updater(machine);
    updater.Initialize(); // a missing TEMP shows as a load failure below
    CUpdaterImp* imp = updater.Imp();
    ZvLib_CRequestGroupInfo* group = nullptr;
    if (!imp || !updater.CreateRequestGroupInfo(&group)) {
        zvtool::Err(L"zvtool simulate: the updater could not be created\n");
        return 1;
    }
    std::wstring uiLanguage;
    uint16_t languageId = 0;
    if (!machine.GetUiLanguage(uiLanguage, languageId)) uiLanguage = L"ENU";
    group->config.language = o.haveLang ? o.lang : uiLanguage;
    group->config.productBrand = o.brand;
    group->config.productAbbr = L"zvtool";
    group->config.productName = L"simulate";
    for (const auto& [name, version] : o.installed) group->config.installedProducts[name] = version;
    for (const auto& [name, value] : o.vars) imp->SetVariable(name, com_quorvane_value::CValue::Text(value));

    std::wstring problem;
    if (!imp->LoadManifest(o.manifest, group->config, &problem)) {
        zvtool::Err(L"zvtool simulate: cannot load " + o.manifest + L": " + problem + L"\n");
        return 1;
    }
    std::vector<ZvLib_CItemBase*> selected;
    imp->GetListOfSelectedInstallables(selected);
    std::wstring out;
    for (const ZvLib_CItemBase* item : selected)
        out += zv::Format(4096, L"selected %d %s %s\n", item->manifestId, item->componentName.c_str(), item->componentVersion.c_str());
    zvtool::Out(out.empty() ? L"selected none\n" : out);
    return 0;
}

int Run(const zvtool::Args& args)
{
    Options o;
    if (int usage = Parse(args, o)) return usage;

    // Without a profile: the machine the process runs on (the real one in the Windows build).
    std::unique_ptr<zvexpr::FakeMachine> fake;
    if (!o.machineFile.empty()) {
        fake = std::make_unique<zvexpr::FakeMachine>();
        std::wstring error;
        if (!fake->LoadProfileFile(o.machineFile, error)) return zvtool::UsageError(kName, L"machine profile " + o.machineFile + L": " + error);
    }
    zvexpr::IMachine& machine = fake ? *fake : zvexpr::ProcessMachine();

    // The level asked for here, not the one of the shared configuration file.
    ZvLog().EnsureInitialised();
    ZvLog().SetLevel(o.trace);
    if (o.trace > 0) {
        ZvLog().Enable();
        ZvLog().SetEcho(EchoToStderr);
    }
    // Descriptions of unexpected tokens go with the diagnostics, not the result lines.
    CExpression::SetDiagnosticStream(stderr);
    int code = Simulate(o, machine);
    ZvLog().SetEcho(nullptr);
    return code;
}

} // namespace

ZVTOOL_COMMAND(simulate, kName,
               "MANIFEST [--machine PROFILE] [--installed NAME=VERSION]... [--lang L] [--brand B] [--var NAME=VALUE]... [--trace LEVEL]",
               "load a manifest from disk and run the standard selection; prints 'selected ID NAME VERSION' per item or 'selected none'",
               Run);
