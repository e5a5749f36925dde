#include "updater/expr/registry_path.h"

namespace zv::expr {

using com_quorvane_value::CValue;

namespace {

const struct {
    const wchar_t* name;
    RegRoot root;
} kRoots[] = {
    {L"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
    {L"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
    {L"HKEY_CURRENT_USER", RegRoot::CurrentUser},
    {L"HKEY_USERS", RegRoot::Users},
};

// UTF-16LE code units of the data; an odd last byte is dropped.
std::wstring Utf16(const std::vector<uint8_t>& bytes)
{
    std::wstring s;
    s.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) s += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    return s;
}

} // namespace

RegPath ParseRegPath(const std::wstring& path)
{
    RegPath p;
    if (path.compare(0, 5, L"HKEY_") != 0) {
        p.subkey = path;
        return p;
    }
    size_t slash = path.find(L'\\');
    std::wstring first = path.substr(0, slash);
    p.subkey = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    for (const auto& r : kRoots)
        if (first == r.name) p.root = r.root;
    return p;
}

const wchar_t* RegRootName(RegRoot root)
{
    for (const auto& r : kRoots)
        if (r.root == root) return r.name;
    return L"HKEY_LOCAL_MACHINE";
}

uint32_t RegDword(const RegData& data)
{
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && i < data.bytes.size(); ++i) v |= static_cast<uint32_t>(data.bytes[i]) << (8 * i);
    return v;
}

CValue ValueFromRegData(const RegData& data)
{
    switch (data.type) {
    case ZV_REG_SZ:
    case ZV_REG_EXPAND_SZ: {
        std::wstring s = Utf16(data.bytes);
        // The stored text may or may not carry its terminator.
        return CValue::Text(std::wstring(s.c_str()));
    }
    case ZV_REG_DWORD: return CValue::Int(static_cast<int32_t>(RegDword(data)));
    case ZV_REG_QWORD: {
        uint64_t v = 0;
        for (size_t i = 0; i < 8 && i < data.bytes.size(); ++i) v |= static_cast<uint64_t>(data.bytes[i]) << (8 * i);
        return CValue::Int64(static_cast<int64_t>(v));
    }
    case ZV_REG_MULTI_SZ: return CValue::TextListBlock(Utf16(data.bytes));
    case ZV_REG_BINARY: return CValue::Blob(data.bytes);
    default: return CValue();
    }
}

std::vector<uint8_t> RegStringBytes(const std::wstring& text)
{
    std::vector<uint8_t> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

} // namespace zv::expr
