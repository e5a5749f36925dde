#pragma once
// Evaluates expressions over a FakeMachine and reports kind, text and error together.
#include "support/log_capture.h"
#include "support/fake_machine/fake_machine.h"
#include "updater/expr/zv_expr.h"
#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zv::exprtest {

struct Outcome {
    bool ok = false;
    int error = 0;
    com_quorvane_value::CValue value;

    // "int 14", "text ababab", "error ERR_DIV_ZERO": one string to compare in tables.
    std::string Show() const
    {
        if (!ok) return zv::ToUtf8(zv::expr::ExprErrorName(error));
        return zv::ToUtf8(std::wstring(com_quorvane_value::KindName(value.Kind())) + L" " + value.AsText());
    }
};

inline Outcome Eval(CExpression& e, const std::wstring& text)
{
    Outcome o;
    e.SetExpression(text);
    o.ok = e.Evaluate(o.value);
    o.error = e.GetErrorCode();
    return o;
}

inline Outcome RunZv(zv::expr::IMachine& m, const std::wstring& text)
{
    ZVExpr e(m);
    return Eval(e, text);
}

struct Case {
    const wchar_t* expression;
    const char* expected; // Outcome::Show()
};

using zv::test::LogLines;

} // namespace zv::exprtest
