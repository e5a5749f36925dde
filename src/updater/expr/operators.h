#pragma once
// The binary operators of the expression language on values. The left operand's kind
// decides; the right operand is converted to the left's form.
#include "updater/expr/value.h"

namespace zv::expr {

// Applies op to left in place; returns ERR_OK or the error code (ERR_DIV_ZERO, ERR_NOMEM).
// Integer arithmetic wraps; division and remainder by zero are reported, never run.
int ApplyOperator(int op, com_quorvane_value::CValue& left, const com_quorvane_value::CValue& right, size_t maxTextChars);

} // namespace zv::expr
