// The machine-profile reader of FakeMachine (format in fake_machine.h).
#include "support/fake_machine/fake_machine.h"

#include "updater/base/file_read.h"
#include "updater/expr/registry_path.h"
#include "updater/expr/value.h"
#include "updater/base/text_helpers.h"

#include <cwctype>
#include <sstream>

namespace zv::expr {

namespace {

std::wstring Trim(const std::wstring& s)
{
    size_t b = s.find_first_not_of(L" \t\r\n");
    if (b == std::wstring::npos) return std::wstring();
    size_t e = s.find_last_not_of(L" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::wstring LowerText(std::wstring s)
{
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

// A decimal or 0x-hexadecimal number; false when anything else is in the text.
bool ReadNumber(const std::wstring& text, uint64_t& out)
{
    std::wstring t = Trim(text);
    if (t.empty()) return false;
    int base = 10;
    size_t i = 0;
    if (t.size() > 2 && t[0] == L'0' && (t[1] == L'x' || t[1] == L'X')) {
        base = 16;
        i = 2;
    }
    uint64_t v = 0;
    for (; i < t.size(); ++i) {
        int d;
        wchar_t c = t[i];
        if (c >= L'0' && c <= L'9') d = c - L'0';
        else if (base == 16 && c >= L'a' && c <= L'f') d = c - L'a' + 10;
        else if (base == 16 && c >= L'A' && c <= L'F') d = c - L'A' + 10;
        else return false;
        if (v > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    out = v;
    return true;
}

bool ReadSmall(const std::wstring& text, uint64_t limit, uint64_t& out)
{
    return ReadNumber(text, out) && out <= limit;
}

bool ParseRegData(const std::wstring& spec, RegData& data)
{
    size_t colon = spec.find(L':');
    if (colon == std::wstring::npos) return false;
    std::wstring type = LowerText(Trim(spec.substr(0, colon)));
    std::wstring body = spec.substr(colon + 1);
    uint64_t n = 0;
    data.bytes.clear();
    if (type == L"sz" || type == L"expand_sz") {
        data.type = type == L"sz" ? ZV_REG_SZ : ZV_REG_EXPAND_SZ;
        data.bytes = RegStringBytes(body);
    } else if (type == L"dword" || type == L"qword") {
        bool dword = type == L"dword";
        if (!ReadSmall(body, dword ? UINT32_MAX : UINT64_MAX, n)) return false;
        data.type = dword ? ZV_REG_DWORD : ZV_REG_QWORD;
        for (int i = 0; i < (dword ? 4 : 8); ++i) data.bytes.push_back(static_cast<uint8_t>(n >> (8 * i)));
    } else if (type == L"multi_sz") {
        data.type = ZV_REG_MULTI_SZ;
        std::wstring block;
        std::wstringstream items(body);
        for (std::wstring item; std::getline(items, item, L'|');) block += item + L'\0';
        data.bytes = RegStringBytes(block); // its terminator is the list's closing empty string
    } else if (type == L"binary") {
        data.type = ZV_REG_BINARY;
        std::wstring hex = Trim(body);
        if (hex.size() % 2) return false;
        for (size_t i = 0; i < hex.size(); i += 2) {
            uint64_t b;
            if (!ReadNumber(L"0x" + hex.substr(i, 2), b)) return false;
            data.bytes.push_back(static_cast<uint8_t>(b));
        }
    } else if (type == L"none") {
        data.type = ZV_REG_NONE;
    } else {
        return false;
    }
    return true;
}

bool ParseFileVersion(const std::wstring& text, uint16_t out[4])
{
    std::wstringstream parts(Trim(text));
    int i = 0;
    for (std::wstring piece; std::getline(parts, piece, L'.');) {
        uint64_t n;
        if (i == 4 || !ReadSmall(piece, 0xFFFF, n)) return false;
        out[i++] = static_cast<uint16_t>(n);
    }
    return i == 4;
}

} // namespace

bool FakeMachine::LoadProfileFile(const std::wstring& path, std::wstring& error)
{
    // A profile is a few lines; anything near this size is not one.
    constexpr size_t kMaxProfileBytes = 1024 * 1024;
    std::string bytes;
    std::wstring why;
    if (!zv::ReadWholeFile(path, kMaxProfileBytes, bytes, why)) {
        error = L"cannot read " + path;
        return false;
    }
    return LoadProfile(zv::FromUtf8(bytes), error);
}

bool FakeMachine::LoadProfile(const std::wstring& text, std::wstring& error)
{
    std::wstringstream lines(text);
    int number = 0;
    for (std::wstring line; std::getline(lines, line);) {
        ++number;
        std::wstring t = Trim(line);
        if (t.empty() || t[0] == L'#') continue;
        std::wstring why;
        if (!ApplyLine(t, why)) {
            error = zv::Format(2048, L"line %d: %s", number, why.c_str());
            return false;
        }
    }
    return true;
}

bool FakeMachine::ApplyLine(const std::wstring& line, std::wstring& error)
{
    size_t eq = line.find(L'=');
    std::wstring left = Trim(line.substr(0, eq));
    std::wstring value = eq == std::wstring::npos ? std::wstring() : Trim(line.substr(eq + 1));
    size_t space = left.find_first_of(L" \t");
    std::wstring key = left.substr(0, space);
    std::wstring arg = space == std::wstring::npos ? std::wstring() : Trim(left.substr(space));
    uint64_t n = 0;
    auto bad = [&](const wchar_t* what) {
        error = std::wstring(what) + L": " + line;
        return false;
    };

    if (key == L"os.version") {
        uint16_t v[4] = {0, 0, 0, 0};
        std::wstring padded = value + L".0";
        if (!ParseFileVersion(padded, v)) return bad(L"expected major.minor.build");
        os.major = v[0];
        os.minor = v[1];
        os.build = v[2];
    } else if (key == L"os.platform") {
        if (!ReadSmall(value, UINT32_MAX, n)) return bad(L"expected a number");
        os.platformId = static_cast<uint32_t>(n);
    } else if (key == L"os.service_pack") {
        size_t dot = value.find(L'.');
        uint64_t minor = 0;
        if (!ReadSmall(value.substr(0, dot), 0xFFFF, n) ||
            (dot != std::wstring::npos && !ReadSmall(value.substr(dot + 1), 0xFFFF, minor)))
            return bad(L"expected major.minor");
        os.servicePackMajor = static_cast<uint16_t>(n);
        os.servicePackMinor = static_cast<uint16_t>(minor);
    } else if (key == L"os.product_type") {
        if (!ReadSmall(value, 255, n)) return bad(L"expected a number");
        os.productType = static_cast<uint8_t>(n);
    } else if (key == L"os.readable" || key == L"memory.readable" || key == L"power.readable" || key == L"display.readable") {
        if (!ReadSmall(value, 1, n)) return bad(L"expected 0 or 1");
        (key == L"os.readable" ? osReadable : key == L"memory.readable" ? memoryReadable
                                          : key == L"power.readable"  ? powerReadable
                                                                      : displayReadable) = n != 0;
    } else if (key == L"cpu.architecture") {
        if (!ReadSmall(value, 0xFFFF, n)) return bad(L"expected a number");
        architecture = static_cast<int>(n);
    } else if (key == L"cpu.count") {
        if (!ReadSmall(value, UINT32_MAX, n)) return bad(L"expected a number");
        processors = static_cast<uint32_t>(n);
    } else if (key == L"memory.total_mib" || key == L"memory.available_mib") {
        if (!ReadSmall(value, UINT64_MAX >> 20, n)) return bad(L"expected a number");
        (key == L"memory.total_mib" ? memoryTotal : memoryAvailable) = n << 20;
    } else if (key == L"power.ac_line" || key == L"power.battery_percent") {
        if (!ReadSmall(value, 255, n)) return bad(L"expected a number up to 255");
        (key == L"power.ac_line" ? power.acLineStatus : power.batteryLifePercent) = static_cast<uint8_t>(n);
    } else if (key == L"display") {
        std::wstringstream parts(value);
        uint64_t d[3];
        int i = 0;
        for (std::wstring piece; std::getline(parts, piece, L'x');) {
            if (i == 3 || !ReadSmall(piece, UINT32_MAX, d[i])) return bad(L"expected WIDTHxHEIGHTxBITS");
            ++i;
        }
        if (i != 3) return bad(L"expected WIDTHxHEIGHTxBITS");
        display = DisplayMode{static_cast<uint32_t>(d[0]), static_cast<uint32_t>(d[1]), static_cast<uint32_t>(d[2])};
    } else if (key == L"usb.hubs") {
        if (!ReadSmall(value, UINT32_MAX, n)) return bad(L"expected a number");
        usbHubs = static_cast<uint32_t>(n);
    } else if (key == L"system_dir") {
        systemDir = value;
    } else if (key == L"program_dir") {
        programDir = value;
    } else if (key == L"language") {
        size_t sp = value.find(L' ');
        if (sp == std::wstring::npos || !ReadSmall(value.substr(sp), 0xFFFF, n)) return bad(L"expected ABBREVIATION ID");
        languageAbbreviation = value.substr(0, sp);
        languageId = static_cast<uint16_t>(n);
    } else if (key == L"env") {
        if (arg.empty()) return bad(L"expected env NAME = VALUE");
        SetEnvironment(arg, value);
    } else if (key == L"folder") {
        if (!ReadSmall(arg, 0xFFFF, n)) return bad(L"expected folder CSIDL = PATH");
        folders[static_cast<int>(n)] = value;
    } else if (key == L"reg" || key == L"regkey" || key == L"regdenied") {
        size_t bar = arg.find(L'|');
        RegPath p = ParseRegPath(Trim(arg.substr(0, bar)));
        if (key == L"regkey") {
            AddRegKey(p.root, p.subkey);
        } else if (key == L"regdenied") {
            AddRegKey(p.root, p.subkey);
            m_deniedKeys.insert(KeyName(p.root, p.subkey));
        } else {
            RegData data;
            if (bar == std::wstring::npos || !ParseRegData(value, data)) return bad(L"expected reg KEY | NAME = TYPE:DATA");
            SetRegValue(p.root, p.subkey, Trim(arg.substr(bar + 1)), data);
        }
    } else if (key == L"file") {
        uint16_t v[4] = {0, 0, 0, 0};
        bool hasVersion = !value.empty() && value != L"-";
        if (arg.empty() || (hasVersion && !ParseFileVersion(value, v))) return bad(L"expected file PATH = a.b.c.d");
        AddFile(arg, hasVersion, v);
    } else if (key == L"dir") {
        if (arg.empty()) return bad(L"expected dir PATH");
        AddDirectory(arg);
    } else if (key == L"disk") {
        if (arg.empty() || !ReadSmall(value, UINT64_MAX >> 20, n)) return bad(L"expected disk PATH = MIB");
        m_disks[LowerText(arg)] = n << 20;
    } else if (key == L"msi.product") {
        if (arg.empty()) return bad(L"expected msi.product {CODE} = VERSION");
        m_products[LowerText(arg)] = value;
    } else if (key == L"msi.package") {
        size_t sp = value.find(L' ');
        if (arg.empty() || sp == std::wstring::npos) return bad(L"expected msi.package PATH = {CODE} VERSION");
        m_packages[LowerText(arg)] = Package{value.substr(0, sp), Trim(value.substr(sp))};
    } else if (key == L"window") {
        size_t bar = value.find(L'|');
        if (!ReadNumber(arg, n) || bar == std::wstring::npos) return bad(L"expected window HANDLE = CLASS | TITLE");
        AddWindow(n, Trim(value.substr(0, bar)), Trim(value.substr(bar + 1)));
    } else {
        return bad(L"unknown setting");
    }
    return true;
}

} // namespace zv::expr
