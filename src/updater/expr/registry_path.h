#pragma once
// Registry paths as manifests write them ("HKEY_CURRENT_USER\Software\x") and the
// conversion of registry data to expression values.
#include "updater/expr/machine.h"
#include "updater/expr/value.h"

#include <string>

namespace zv::expr {

struct RegPath {
    RegRoot root = RegRoot::LocalMachine;
    std::wstring subkey;
};

// The first component names the root (case-sensitive); a path that does not begin with
// "HKEY_", or names an unknown root, is a subkey of HKEY_LOCAL_MACHINE.
RegPath ParseRegPath(const std::wstring& path);

// The root's name as a path writes it.
const wchar_t* RegRootName(RegRoot root);

uint32_t RegDword(const RegData& data);

// REG_SZ and REG_EXPAND_SZ give text (not expanded), REG_DWORD an integer, REG_QWORD a
// 64-bit integer, REG_MULTI_SZ a text list, REG_BINARY a blob, other types empty.
com_quorvane_value::CValue ValueFromRegData(const RegData& data);

// UTF-16LE bytes of a text, with its terminating zero, as the registry stores REG_SZ.
std::vector<uint8_t> RegStringBytes(const std::wstring& text);

} // namespace zv::expr
