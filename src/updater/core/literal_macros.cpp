#include "updater/core/literal_macros.h"

#include "updater/base/text_helpers.h"

namespace zv::core {

namespace {

using com_quorvane_value::CValue;

// The engine's identifier characters: those of macro and variable names.
bool IsNameStart(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_';
}

bool IsNameChar(wchar_t c)
{
    return IsNameStart(c) || (c >= L'0' && c <= L'9');
}

// What ends a literal's run of plain characters: the quote, a macro's "<" or an
// environment macro's "%".
constexpr uint64_t kRunEnds = zv::LowAsciiSet(L"\"<%");

bool EndsPlainRun(wchar_t c)
{
    return zv::InLowAsciiSet(c, kRunEnds);
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r';
}

// What the engine takes for the variable name, read from the evaluator's table.
void ReadVariable(const ZVExpr& evaluator, const std::wstring& name, ExpandedVariables::Entry& entry)
{
    using Kind = ExpandedVariables::Kind;
    entry.name = name;
    entry.text.clear();
    entry.storedChars = 0;
    const auto& variables = evaluator.Variables();
    auto found = variables.find(name);
    // An unknown name is declared or reported by the engine.
    if (found == variables.end()) {
        entry.kind = Kind::Unknown;
        return;
    }
    const CValue* stored = found->second.get();
    if (!stored) {
        entry.kind = Kind::NoValue;
        return;
    }
    // The engine evaluates the value's text; a text value is read in place.
    thread_local std::wstring converted;
    const bool isText = stored->Kind() == com_quorvane_value::VK_TEXT;
    if (!isText) converted = stored->AsText();
    const std::wstring& storedText = isText ? stored->TextPayload() : converted;
    entry.storedChars = storedText.size();
    thread_local CValue value;
    if (!evaluator.PlainNestedValue(storedText, value)) {
        entry.kind = Kind::Refused;
        return;
    }
    entry.kind = Kind::Text;
    if (value.Kind() == com_quorvane_value::VK_TEXT) entry.text = value.TextPayload();
    else entry.text = value.AsText();
}

// One expansion: the evaluator's variables, read as the engine reads them, with the
// budget of nested evaluations the engine would charge.
class Expansion {
public:
    Expansion(const ZVExpr& evaluator, ExpandedVariables* kept) : m_evaluator(evaluator), m_kept(kept) {}

    // Appends the text the engine takes for the variable name; false when the engine
    // has to decide (unknown name, no value, a value that needs evaluating, a limit).
    bool AppendVariable(std::wstring_view name, bool noValueGivesNothing, std::wstring& text)
    {
        using Kind = ExpandedVariables::Kind;
        const ExpandedVariables::Entry* entry = m_kept ? m_kept->Find(m_evaluator, name) : nullptr;
        if (!entry) {
            // The table's names are strings: a key is made only for a name not kept.
            thread_local std::wstring key;
            thread_local ExpandedVariables::Entry fresh;
            key.assign(name);
            ReadVariable(m_evaluator, key, fresh);
            const ExpandedVariables::Entry* kept = m_kept ? m_kept->Keep(fresh) : nullptr;
            entry = kept ? kept : &fresh;
        }
        if (entry->kind == Kind::Unknown) return false;
        // A macro of a name held without a value expands to nothing.
        if (entry->kind == Kind::NoValue) return noValueGivesNothing;
        // Charged as the nested evaluation of the value's text would be, kept or not.
        if (m_evaluations >= static_cast<size_t>(CExpression::kMaxNestedEvaluations) ||
            entry->storedChars > CExpression::kMaxNestedChars - m_chars)
            return false;
        ++m_evaluations;
        m_chars += entry->storedChars;
        if (entry->kind == Kind::Refused) return false;
        text += entry->text;
        return text.size() <= CExpression::kMaxTextChars;
    }

    // The literal starting at the quote at i, its macros expanded, appended to text; i
    // moves past its closing quote. False when the engine has to decide.
    bool AppendLiteral(const std::wstring& expression, size_t& i, std::wstring& text)
    {
        const size_t size = expression.size();
        ++i; // opening quote
        for (;;) {
            // Plain characters up to the next quote or macro: short runs, a plain loop.
            size_t end = i;
            while (end < size && !EndsPlainRun(expression[end])) ++end;
            text.append(expression, i, end - i);
            i = end;
            // Unterminated, an environment macro or a doubled quote: the engine's.
            if (i == size || expression[i] == L'%') return false;
            if (expression[i] == L'"') {
                ++i;
                return i == size || expression[i] != L'"';
            }
            // "<" and a name closed by ">" is a macro.
            size_t nameEnd = i + 1;
            while (nameEnd < size && IsNameChar(expression[nameEnd])) ++nameEnd;
            const size_t nameLen = nameEnd - (i + 1);
            if (nameLen == 0 || nameEnd == size || expression[nameEnd] != L'>') {
                // Not a macro: the characters stay as written, with the one that ended
                // the name unless that one closes the literal.
                const size_t keep = nameEnd < size && expression[nameEnd] != L'"' ? nameEnd + 1 : nameEnd;
                if (keep > nameEnd && expression[nameEnd] == L'%') return false;
                text.append(expression, i, keep - i);
                i = keep;
                continue;
            }
            if (!AppendVariable(std::wstring_view(expression).substr(i + 1, nameLen), true, text)) return false;
            i = nameEnd + 1;
        }
    }

private:
    const ZVExpr& m_evaluator;
    ExpandedVariables* m_kept;
    size_t m_evaluations = 0, m_chars = 0;
};

} // namespace

const std::wstring* ExpandLiteralMacros(const ZVExpr& evaluator, const std::wstring& expression, ExpandedVariables* variables)
{
    const size_t size = expression.size();
    auto skipBlanks = [&](size_t at) {
        while (at < size && IsBlank(expression[at])) ++at;
        return at;
    };
    thread_local std::wstring text;
    text.clear();
    Expansion expansion(evaluator, variables);
    size_t i = skipBlanks(0);
    // The first operand is a literal, so every "+" joins texts.
    if (i == size || expression[i] != L'"' || !expansion.AppendLiteral(expression, i, text)) return nullptr;
    for (i = skipBlanks(i); i < size; i = skipBlanks(i)) {
        if (expression[i] != L'+') return nullptr;
        i = skipBlanks(i + 1);
        if (i == size) return nullptr;
        if (expression[i] == L'"') {
            if (!expansion.AppendLiteral(expression, i, text)) return nullptr;
        } else if (IsNameStart(expression[i])) {
            size_t end = i + 1;
            while (end < size && IsNameChar(expression[end])) ++end;
            // A function call is the engine's.
            if (skipBlanks(end) < size && expression[skipBlanks(end)] == L'(') return nullptr;
            if (!expansion.AppendVariable(std::wstring_view(expression).substr(i, end - i), false, text)) return nullptr;
            i = end;
        } else {
            return nullptr;
        }
        // Joined texts longer than the limit fail in the engine.
        if (text.size() > CExpression::kMaxTextChars) return nullptr;
    }
    return &text;
}

bool ExpandLiteralMacros(const ZVExpr& evaluator, const std::wstring& expression, std::wstring& out)
{
    if (&out == &expression) return false;
    // Built aside: out stays untouched when the engine has to decide.
    const std::wstring* text = ExpandLiteralMacros(evaluator, expression, nullptr);
    if (!text) return false;
    out.assign(*text);
    return true;
}

const ExpandedVariables::Entry* ExpandedVariables::Find(const ZVExpr& evaluator, std::wstring_view name)
{
    if (&evaluator != m_evaluator || evaluator.TableWrites() != m_writes || evaluator.CurrentDepth() != m_depth) {
        // The table may have changed since: nothing kept holds.
        m_entries.clear();
        m_evaluator = &evaluator;
        m_writes = evaluator.TableWrites();
        m_depth = evaluator.CurrentDepth();
        return nullptr;
    }
    for (const Entry& entry : m_entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

const ExpandedVariables::Entry* ExpandedVariables::Keep(const Entry& entry)
{
    if (m_entries.size() >= kMaxEntries) return nullptr;
    m_entries.push_back(entry);
    return &m_entries.back();
}

} // namespace zv::core
