#pragma once
// OSInfo: the classification of the operating system that the OS code, the "os"
// variable, UOs and the update request are built on.
#include <string>

namespace zv::expr {
class IMachine;

enum OsCode : int {
    OS_UNCLASSIFIED = 0,
    OS_OLD = 1,        // not NT, or NT 4 and older
    OS_2000 = 2,
    OS_XP = 3,         // also 64-bit XP (5.2 workstation on AMD64)
    OS_2003 = 4,
    OS_VISTA = 5,
    OS_2008 = 6,
    OS_7 = 7,
    OS_2008R2 = 8,
    OS_8 = 9,
    OS_2012 = 10,
    OS_LATER = 11,     // 6.3 and later
};

struct OsClassification {
    int osCode = OS_UNCLASSIFIED;
    int is64 = 2;       // 1 AMD64, 0 x86, 2 unknown
    int isServer = 0;   // product type other than workstation
    unsigned build = 0;
};

// Classifies the machine's operating system; osCode stays 0 when the version cannot be read.
OsClassification ClassifyOs(IMachine& machine);

// "xp", "2k3", "_w7", ...; "unk" for codes 0, 1 and 11.
std::wstring OsText(int osCode);
// The OS text with "_" in front when shorter than three characters ("_xp").
std::wstring PaddedOsCode(int osCode);
// "64" when the 64-bit flag is set, else "32".
std::wstring BitnessText(int is64);

} // namespace zv::expr

// Process-wide classification of the machine the process runs on: the first
// construction classifies (again later while it is still unclassified).
class OSInfo {
public:
    OSInfo();
    virtual ~OSInfo() = default;

    static int OsCode();
    static int Is64Flag();
    static int ServerFlag();
    static unsigned Build();
    static std::wstring OsText() { return zv::expr::OsText(OsCode()); }
    static std::wstring PaddedOsCode() { return zv::expr::PaddedOsCode(OsCode()); }
    static std::wstring BitnessText() { return zv::expr::BitnessText(Is64Flag()); }

    // Forgets the classification (tests that change the process machine).
    static void Reset();
};
