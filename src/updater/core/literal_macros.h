#pragma once
// Manifest texts such as a URL are usually one string literal with "<name>" macros of
// variables that hold plain text ("<lang>"). Such a text is expanded here straight from
// the evaluator's variables, giving what the expression engine gives, without its
// tokens, parse and nested evaluators.
#include "updater/expr/zv_expr.h"

#include <string>

namespace zv::core {

// The text evaluator would give for expression (its variables already in place), when
// expression is one string literal whose macros all name variables the evaluator holds
// with a value it takes as it stands. False, with out untouched, for anything else
// (an environment macro, a doubled quote, an unknown name, a value that needs
// evaluating, a limit that could be reached): the engine decides those.
bool ExpandLiteralMacros(const ZVExpr& evaluator, const std::wstring& expression, std::wstring& out);

} // namespace zv::core
