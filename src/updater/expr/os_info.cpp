#include "updater/expr/os_info.h"

#include "updater/expr/machine.h"

namespace zv::expr {

namespace {

constexpr int kArchAmd64 = 9;
constexpr int kArchX86 = 0;
constexpr uint8_t kWorkstation = 1;

int CodeFor(const OsVersion& v, bool workstation, int is64)
{
    if (v.platformId != 2 || v.major <= 4) return OS_OLD;
    if (v.major == 5) {
        if (v.minor == 0) return OS_2000;
        if (v.minor == 1) return OS_XP;
        if (v.minor == 2) return workstation && is64 == 1 ? OS_XP : OS_2003;
        return OS_LATER;
    }
    if (v.major == 6) {
        switch (v.minor) {
        case 0: return workstation ? OS_VISTA : OS_2008;
        case 1: return workstation ? OS_7 : OS_2008R2;
        case 2: return workstation ? OS_8 : OS_2012;
        default: return OS_LATER;
        }
    }
    return OS_LATER;
}

} // namespace

OsClassification ClassifyOs(IMachine& machine)
{
    OsClassification c;
    int arch = machine.NativeArchitecture();
    if (arch == kArchAmd64) c.is64 = 1;
    else if (arch == kArchX86) c.is64 = 0;

    OsVersion v;
    if (!machine.GetOsVersion(v)) return c;
    bool workstation = v.productType == kWorkstation;
    c.build = v.build;
    c.osCode = CodeFor(v, workstation, c.is64);
    // Every 5.2 that is not XP x64 counts as the server, a 32-bit workstation included.
    c.isServer = workstation && c.osCode != OS_2003 ? 0 : 1;
    return c;
}

std::wstring OsText(int osCode)
{
    switch (osCode) {
    case OS_2000: return L"2k";
    case OS_XP: return L"xp";
    case OS_2003: return L"2k3";
    case OS_VISTA: return L"vi";
    case OS_2008: return L"2k8";
    case OS_7: return L"_w7";
    case OS_2008R2: return L"8r2";
    case OS_8: return L"_w8";
    case OS_2012: return L"s12";
    default: return L"unk";
    }
}

std::wstring PaddedOsCode(int osCode)
{
    std::wstring t = OsText(osCode);
    return t.size() < 3 ? L"_" + t : t;
}

std::wstring BitnessText(int is64)
{
    return is64 == 1 ? L"64" : L"32";
}

} // namespace zv::expr

namespace {

zv::expr::OsClassification g_os;

} // namespace

OSInfo::OSInfo()
{
    if (g_os.osCode == zv::expr::OS_UNCLASSIFIED) g_os = zv::expr::ClassifyOs(zv::expr::ProcessMachine());
}

int OSInfo::OsCode()
{
    return g_os.osCode;
}

int OSInfo::Is64Flag()
{
    return g_os.is64;
}

int OSInfo::ServerFlag()
{
    return g_os.isServer;
}

unsigned OSInfo::Build()
{
    return g_os.build;
}

void OSInfo::Reset()
{
    g_os = zv::expr::OsClassification();
}
