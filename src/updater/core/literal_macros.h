#pragma once
// Manifest texts such as a URL or a command line are usually string literals with
// "<name>" macros, or literals and variable names joined by "+", all of variables that
// hold plain text ("<lang>", tempdir). Such a text is expanded here straight from the
// evaluator's variables, giving what the expression engine gives, without its tokens,
// parse and nested evaluators.
#include "updater/expr/zv_expr.h"

#include <string>

namespace zv::core {

// The text evaluator would give for expression (its variables already in place), when
// expression is a string literal, or one followed by "+" and literals or variable names,
// whose macros and names are all variables the evaluator holds with a value it takes as
// it stands. False, with out untouched, for anything else (an environment macro, a
// doubled quote, another operator, a call, an unknown name, a value that needs
// evaluating, a limit that could be reached): the engine decides those.
bool ExpandLiteralMacros(const ZVExpr& evaluator, const std::wstring& expression, std::wstring& out);

} // namespace zv::core
