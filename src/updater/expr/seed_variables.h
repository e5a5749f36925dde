#pragma once
// The variables the updater seeds into its table at initialisation, so that manifest
// expressions can name folders, the OS, the bitness, the brand and the language.
#include "updater/expr/value.h"

#include <string>

class ZVExpr;

namespace zv::expr {
class IMachine;

// The "TEMP" environment variable (the runtime's copy) with one backslash appended; ok is false (and the
// result empty) when it is missing or empty.
std::wstring TempDirectory(IMachine& machine, bool& ok);

// Copies vars into evaluator and evaluates expression: on success out is the value's
// text form, on failure the expression unchanged.
bool EvaluateToText(ZVExpr& evaluator, const com_quorvane_value::VariableTable& vars, const std::wstring& expression, std::wstring& out);
// The same with the variables the evaluator holds already.
bool EvaluateToText(ZVExpr& evaluator, const std::wstring& expression, std::wstring& out);

// Stores a copy under name, assigning to an existing value.
void SetTableVariable(com_quorvane_value::VariableTable& vars, const std::wstring& name, const com_quorvane_value::CValue& value);

// rebootrequired, tempdir, os, bitness, brand, the six folders, parentdir, lang,
// langid and langhexid. Folders the machine cannot name are logged and left out.
void SeedUpdaterVariables(IMachine& machine, const std::wstring& tempDir, com_quorvane_value::VariableTable& vars);

} // namespace zv::expr
