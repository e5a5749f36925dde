#pragma once
// Evaluates expressions over a FakeMachine and reports kind, text and error together.
#include "updater/expr/fake_machine.h"
#include "updater/expr/zv_expr.h"
#include "updater/transfer/text_helpers.h"

#include <gtest/gtest.h>

#include "updater/transfer/log.h"

#include <mutex>
#include <string>
#include <vector>

namespace zvexprtest {

struct Outcome {
    bool ok = false;
    int error = 0;
    com_quorvane_value::CValue value;

    // "int 14", "text ababab", "error ERR_DIV_ZERO": one string to compare in tables.
    std::string Show() const
    {
        if (!ok) return zv::ToUtf8(ExprErrorName(error));
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

inline Outcome RunZv(zvexpr::IMachine& m, const std::wstring& text)
{
    ZVExpr e(m);
    return Eval(e, text);
}

struct Case {
    const wchar_t* expression;
    const char* expected; // Outcome::Show()
};

// Collects the log lines written while it lives, at the given level.
class LogLines {
public:
    explicit LogLines(int level)
    {
        Lines().clear();
        ZvLog().Enable();
        ZvLog().SetLevel(level);
        ZvLog().SetEcho(Capture);
    }
    ~LogLines()
    {
        ZvLog().SetEcho(nullptr);
        ZvLog().SetLevel(0);
    }
    LogLines(const LogLines&) = delete;
    LogLines& operator=(const LogLines&) = delete;

    int Count(const std::wstring& part) const
    {
        std::lock_guard<std::mutex> lock(Mutex());
        int n = 0;
        for (const auto& l : Lines())
            if (l.find(part) != std::wstring::npos) ++n;
        return n;
    }

private:
    static std::mutex& Mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::vector<std::wstring>& Lines()
    {
        static std::vector<std::wstring> lines;
        return lines;
    }
    static void Capture(const wchar_t* line)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().push_back(line);
    }
};

} // namespace zvexprtest
