// zvtool simulate: loads a manifest from disk (no server) and runs the standard
// selection for a described machine and installed versions, so that a publisher can
// test targeting before publishing.
#include "command.h"
#include "selection_lines.h"

#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"
#include "support/fake_machine/fake_machine.h"
#include "updater/expr/machine.h"

#include <cwchar>
#include <memory>
#include <optional>

namespace {

constexpr const char* kName = "simulate";

struct Options {
    std::wstring manifest, machineFile, lang, brand;
    bool haveLang = false, haveBrand = false;
    std::vector<std::pair<std::wstring, std::wstring>> installed, vars;
    int trace = 0;
};

// 0 when the arguments are usable, else the usage error's exit code.
int Parse(const zv::tool::Args& args, Options& o)
{
    bool haveManifest = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        std::wstring value, name, text;
        if (a == L"--machine" || a == L"--lang" || a == L"--brand" || a == L"--installed" || a == L"--var" || a == L"--trace") {
            if (!zv::tool::TakeValue(args, i, value)) return zv::tool::UsageError(kName, a + L" needs a value");
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
            if (!zv::tool::SplitNameValue(value, name, text)) return zv::tool::UsageError(kName, a + L" wants NAME=VALUE, got '" + value + L"'");
            (a == L"--var" ? o.vars : o.installed).emplace_back(name, text);
        } else if (a == L"--trace") {
            wchar_t* end = nullptr;
            long n = std::wcstol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < 0 || n > 6) return zv::tool::UsageError(kName, L"--trace takes 0..6");
            o.trace = static_cast<int>(n);
        } else if (zv::tool::IsOption(a)) {
            return zv::tool::UsageError(kName, L"unknown option '" + a + L"'");
        } else if (haveManifest) {
            return zv::tool::UsageError(kName, L"one manifest only");
        } else {
            o.manifest = a;
            haveManifest = true;
        }
    }
    if (!haveManifest) return zv::tool::UsageError(kName, L"missing MANIFEST");
    return 0;
}

int Simulate(const Options& o, zv::expr::IMachine& machine)
{
    ZvLib_CUpdater updater(machine);
    updater.Initialize(); // a missing TEMP shows as a load failure below
    CUpdaterImp* imp = updater.Imp();
    ZvLib_CRequestGroupInfo* group = nullptr;
    if (!imp || !updater.CreateRequestGroupInfo(&group)) {
        zv::tool::Err(L"zvtool simulate: the updater could not be created\n");
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
        zv::tool::Err(L"zvtool simulate: cannot load " + o.manifest + L": " + problem + L"\n");
        return 1;
    }
    zv::tool::Out(zv::tool::SelectionLines(*imp));
    return 0;
}

int Run(const zv::tool::Args& args)
{
    Options o;
    if (int usage = Parse(args, o)) return usage;

    // Without a profile: the machine the process runs on in the Windows build, the
    // default in-memory machine natively.
    zv::expr::FakeMachine fake;
    std::optional<zv::expr::ScopedProcessMachine> useFake;
    if (!o.machineFile.empty()) {
        std::wstring error;
        if (!fake.LoadProfileFile(o.machineFile, error)) return zv::tool::UsageError(kName, L"machine profile " + o.machineFile + L": " + error);
        useFake.emplace(fake);
    }
#ifndef _WIN32
    if (!useFake) useFake.emplace(fake);
#endif
    zv::expr::IMachine& machine = zv::expr::ProcessMachine();

    zv::tool::TraceToStderr(o.trace);
    int code = Simulate(o, machine);
    zv::tool::StopTrace();
    return code;
}

} // namespace

ZVTOOL_COMMAND(simulate, kName,
               "MANIFEST [--machine PROFILE] [--installed NAME=VERSION]... [--lang L] [--brand B] [--var NAME=VALUE]... [--trace LEVEL]",
               "load a manifest from disk and run the standard selection; prints 'selected ID NAME VERSION' per item or 'selected none'",
               Run);
