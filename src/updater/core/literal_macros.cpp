#include "updater/core/literal_macros.h"

namespace zv::core {

namespace {

using com_quorvane_value::CValue;

// The engine's identifier characters: the characters of a macro name.
bool IsNameChar(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || (c >= L'0' && c <= L'9');
}

} // namespace

bool ExpandLiteralMacros(const ZVExpr& evaluator, const std::wstring& expression, std::wstring& out)
{
    const size_t size = expression.size();
    if (size < 2 || expression.front() != L'"' || expression.back() != L'"' || &out == &expression) return false;
    const size_t last = size - 1; // the closing quote
    // Doubled quotes and environment macros are left to the engine.
    for (size_t k = 1; k < last; ++k)
        if (expression[k] == L'"' || expression[k] == L'%') return false;

    // Built aside: out stays untouched when the engine has to decide.
    thread_local std::wstring text;
    text.clear();
    // The nested evaluations the engine would charge to its budget.
    size_t evaluations = 0, chars = 0;
    CValue value;
    size_t i = 1;
    while (i < last) {
        // Plain characters up to the next "<": short runs, a plain loop.
        size_t plainEnd = i;
        while (plainEnd < last && expression[plainEnd] != L'<') ++plainEnd;
        text.append(expression, i, plainEnd - i);
        i = plainEnd;
        if (i == last) break;
        // A macro: "<" and a name closed by ">".
        size_t nameEnd = i + 1;
        while (nameEnd < last && IsNameChar(expression[nameEnd])) ++nameEnd;
        const size_t nameLen = nameEnd - (i + 1);
        if (nameLen == 0 || expression[nameEnd] != L'>') {
            // Not a macro: the characters stay as written, with the one that ended the
            // name unless that one closes the literal.
            const size_t keep = nameEnd < last ? nameEnd + 1 : nameEnd;
            text.append(expression, i, keep - i);
            i = keep;
            continue;
        }
        thread_local std::wstring name;
        name.assign(expression, i + 1, nameLen);
        const auto& variables = evaluator.Variables();
        auto found = variables.find(name);
        // An unknown name is declared by the engine: its evaluation decides.
        if (found == variables.end()) return false;
        if (const CValue* stored = found->second.get()) {
            // The engine evaluates the value's text; a text value is read in place.
            thread_local std::wstring converted;
            const bool isText = stored->Kind() == com_quorvane_value::VK_TEXT;
            if (!isText) converted = stored->AsText();
            const std::wstring& storedText = isText ? stored->TextPayload() : converted;
            if (evaluations >= static_cast<size_t>(CExpression::kMaxNestedEvaluations) ||
                storedText.size() > CExpression::kMaxNestedChars - chars)
                return false;
            ++evaluations;
            chars += storedText.size();
            if (!evaluator.PlainNestedValue(storedText, value)) return false;
            if (value.Kind() == com_quorvane_value::VK_TEXT) text += value.TextPayload();
            else text += value.AsText();
            if (text.size() > CExpression::kMaxTextChars) return false;
        }
        i = nameEnd + 1;
    }
    out.assign(text);
    return true;
}

} // namespace zv::core
