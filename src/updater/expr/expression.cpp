// CExpression: construction, the variable table, Evaluate and the two base functions.
#include "updater/expr/expression.h"

#include "updater/expr/machine.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

#include <cstring>

using com_quorvane_value::CValue;

namespace {

FILE* g_diagnostics = nullptr;
thread_local unsigned long long t_effects = 0;

int Alert(ExprArgs& args, CValue& result, CExpression& expr)
{
    std::wstring text = L"Alert!\n";
    for (size_t i = 0; i < args.size(); ++i)
        text += zv::Format(4096, L"P%d->%s\n", static_cast<int>(i + 1), args[i].AsText().c_str());
    expr.Machine().ShowAlert(text);
    result = CValue::Int(0);
    return 1;
}

int StubFunction(ExprArgs&, CValue& result, CExpression&)
{
    result = CValue::Text(L"Stub Function Called");
    return 1;
}

const ExprFunctionEntry kBaseFunctions[] = {
    {L"Alert", L"*", Alert},
    {L"func", L"*", StubFunction},
    {nullptr, nullptr, nullptr},
};

// CopyVariables brings a name the table does not hold yet only when its value is not
// an empty text.
// The order of the table (std::wstring's), in a loop that suits short names better
// than a library call per name.
int CompareNames(const std::wstring& a, const std::wstring& b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    const wchar_t* x = a.data();
    const wchar_t* y = b.data();
    for (size_t i = 0; i < n; ++i)
        if (x[i] != y[i]) return std::char_traits<wchar_t>::lt(x[i], y[i]) ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

const CValue& ImpliedPi()
{
    static const CValue pi = CValue::Real(3.14);
    return pi;
}

// True when tokenizing text must fail whatever the evaluator: it holds a character no
// token contains, and no string literal or "%" (where an evaluator may read further, and
// macros run) comes before or after it. Paths such as C:\Windows are like this; their
// nested evaluation would yield the text after the work of setting it up.
bool TokenizerRefuses(const std::wstring& text)
{
    bool refused = false;
    for (wchar_t c : text) {
        if (c == L'"' || c == L'%') return false;
        if ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) continue;
        switch (c) {
        case L' ': case L'\t': case L'\n': case L'\r': case L'_': case L'.':
        case L'!': case L'&': case L'|': case L'=': case L'<': case L'>': case L'(': case L')': case L',':
        case L'+': case L'-': case L'*': case L'/': case L'^': case L'?': case L':':
            continue;
        default:
            refused = true;
        }
    }
    return refused;
}

bool CopiedAsNewName(const CValue& value)
{
    return value.Kind() != com_quorvane_value::VK_TEXT || !value.TextPayload().empty();
}

const wchar_t* const kErrorNames[] = {
    L"ERR_OK",    L"ERR_ERROR",    L"ERR_NOMEM",     L"ERR_EMPTY",    L"ERR_TOKEN",
    L"ERR_VARIABLE", L"ERR_SYNTAX", L"ERR_FUNCTION", L"ERR_FUNC_UNK", L"ERR_EOE",
    L"ERR_PARAMLIST", L"ERR_DIV_ZERO", L"ERR_PARAM_TYPE",
};

} // namespace

const wchar_t* zv::expr::ExprErrorName(int code)
{
    if (code < 0 || code >= static_cast<int>(sizeof kErrorNames / sizeof kErrorNames[0])) return L"ERR_UNKNOWN";
    return kErrorNames[code];
}

CExpression::CExpression() : CExpression(zv::expr::ProcessMachine(), std::wstring()) {}

CExpression::CExpression(const std::wstring& text) : CExpression(zv::expr::ProcessMachine(), text) {}

CExpression::CExpression(zv::expr::IMachine& machine, const std::wstring& text) : m_text(text), m_machine(&machine)
{
    // Called from the constructor, so the base version runs for every class: it only
    // defines pi, which every evaluator has.
    InitVariables();
}

CExpression::CExpression(NestedTag, zv::expr::IMachine& machine, std::wstring text)
    : m_text(std::move(text)), m_impliedPi(true), m_machine(&machine)
{
}

CExpression::~CExpression()
{
    for (const auto& [name, value] : m_variables)
        if (!value) zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR: *** Undeclared variable '%s'\n", name.c_str());
}

void CExpression::InitVariables()
{
    SetVariable(L"pi", ImpliedPi());
}

void CExpression::SetDiagnosticStream(FILE* stream)
{
    g_diagnostics = stream;
}

void CExpression::CopyVariables(const VariableTable& source)
{
    Materialize();
    ++m_tableWrites;
    // Both tables are in name order: one walk through each instead of a search per name.
    auto it = m_variables.begin();
    for (const auto& [name, value] : source) {
        if (!value) continue;
        int order = 1;
        while (it != m_variables.end() && (order = CompareNames(it->first, name)) < 0) ++it;
        if (it != m_variables.end() && order == 0 && it->second) {
            // The updater copies the same table before every evaluation: mostly alike.
            if (!it->second->SameAs(*value)) *it->second = *value;
        } else if (CopiedAsNewName(*value)) {
            if (it != m_variables.end() && order == 0) it->second = std::make_unique<CValue>(*value);
            else m_variables.emplace_hint(it, name, std::make_unique<CValue>(*value));
        }
    }
}

void CExpression::SetVariable(const std::wstring& name, const CValue& value)
{
    Materialize();
    ++m_tableWrites;
    auto& slot = m_variables[name];
    if (slot) *slot = value;
    else slot = std::make_unique<CValue>(value);
}

bool CExpression::Evaluate(CValue& result)
{
    bool topLevel = m_budget == &m_ownBudget;
    if (topLevel) m_ownBudget = Budget();
    m_running = true;
    bool ok = Run(result);
    m_running = false;
    if (topLevel && m_ownBudget.spent)
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR: *** Expression needs more than %d nested evaluations or %d characters in them\n",
                    kMaxNestedEvaluations, static_cast<int>(kMaxNestedChars));
    return ok;
}

bool CExpression::Run(CValue& result)
{
    m_error = ERR_OK;
    m_limitExceeded = false;
    if (m_text.empty()) {
        m_error = ERR_EMPTY;
        result.Clear();
        return false;
    }
    if (m_depth > kMaxDepth) {
        FailLimit(ERR_SYNTAX);
        return false;
    }
    m_work = m_text;
    m_pos = 0;
    m_tokenCount = 0;
    m_next = 0;
    m_parseDepth = 0;
    m_resolveIdentifiers = true;
    m_skipCalls = false;
    for (;;) {
        // Read straight into the next slot.
        if (m_tokenCount == m_tokens.size()) m_tokens.emplace_back();
        CValue& value = m_tokens[m_tokenCount].value;
        int kind = NextToken(value);
        if (AddToken(kind, value)) break;
    }
    if (m_error != ERR_OK) return false;

    result.Clear();
    ParseExpression(result);
    if (m_error == ERR_OK && Current().kind != TK_END) m_error = ERR_SYNTAX;
    return m_error == ERR_OK;
}

void CExpression::FailLimit(int code)
{
    m_error = code;
    m_limitExceeded = true;
}

bool CExpression::ChargeNested(const std::wstring& text)
{
    // Called outside an evaluation (EvaluateSubExpression by a caller), it starts one.
    if (m_budget == &m_ownBudget && !m_running) m_ownBudget = Budget();
    Budget& b = *m_budget;
    if (b.spent || b.evaluations >= kMaxNestedEvaluations || text.size() > kMaxNestedChars - b.chars) {
        b.spent = true;
        FailLimit(ERR_SYNTAX);
        return false;
    }
    ++b.evaluations;
    b.chars += text.size();
    return true;
}

void CExpression::NestIn(const CExpression& parent)
{
    m_budget = parent.m_budget;
    m_depth = parent.CurrentDepth() + 1;
    m_inherited = parent.m_inherited ? parent.m_inherited : &parent.m_variables;
}

bool CExpression::PlainNestedValue(const std::wstring& text, CValue& out) const
{
    // Only where the nested evaluation would not run out of depth.
    if (text.empty() || CurrentDepth() + 1 >= kMaxDepth) return false;
    if (TokenizerRefuses(text)) {
        // The nested evaluation would fail before it read anything that acts: the text stands.
        out = CValue::Text(text);
        return true;
    }
    wchar_t c = text[0];
    if (c >= L'0' && c <= L'9') {
        for (wchar_t d : text)
            if (d < L'0' || d > L'9') return false;
        out = CValue::Int(zv::ReadDecimal(text));
        return true;
    }
    if (!IsIdentStart(c)) return false;
    for (wchar_t d : text)
        if (!IsIdentChar(d)) return false;
    // A name the nested evaluator knows is evaluated in turn. It knows pi and what a
    // copy of this table would bring.
    if (text == L"pi") return false;
    const VariableTable& view = m_inherited ? *m_inherited : m_variables;
    auto it = view.find(text);
    if (it != view.end() && it->second && CopiedAsNewName(*it->second)) return false;
    out = CValue::Text(text);
    return true;
}

const ExprFunctionEntry* CExpression::BaseFunctions()
{
    return kBaseFunctions;
}

const ExprFunctionEntry* CExpression::FindFunction(const ExprFunctionEntry* table, const std::wstring& name)
{
    // The first character rules out most entries without measuring the name.
    wchar_t first = name.empty() ? L'\0' : name[0];
    for (const ExprFunctionEntry* e = table; e->name; ++e)
        if (e->name[0] == first && name == e->name) return e;
    return nullptr;
}

const wchar_t* CExpression::GetFunctionSignature(const std::wstring& name)
{
    const ExprFunctionEntry* e = FindFunction(kBaseFunctions, name);
    return e ? e->signature : nullptr;
}

bool CExpression::CallFunction(const std::wstring& name, ExprArgs& args, CValue& result)
{
    const ExprFunctionEntry* e = FindFunction(kBaseFunctions, name);
    return e && e->function(args, result, *this) != 0;
}

void CExpression::Materialize()
{
    if (!m_inherited) return;
    const VariableTable* source = m_inherited;
    m_inherited = nullptr;
    if (m_impliedPi) {
        m_impliedPi = false;
        m_variables[L"pi"] = std::make_unique<CValue>(ImpliedPi());
    }
    CopyVariables(*source);
}

bool CExpression::FindVariable(const std::wstring& name, const CValue*& out) const
{
    auto own = m_variables.find(name);
    bool impliedPi = m_impliedPi && name == L"pi";
    if (!m_inherited) {
        if (own == m_variables.end()) {
            if (!impliedPi) return false;
            out = &ImpliedPi();
            return true;
        }
        out = own->second.get();
        return true;
    }
    // What CopyVariables(*m_inherited) would have left in the own table: known names
    // take the parent's value, new ones come as CopiedAsNewName says.
    bool ownHasValue = impliedPi || (own != m_variables.end() && own->second);
    auto parent = m_inherited->find(name);
    if (parent != m_inherited->end() && parent->second) {
        const CValue& v = *parent->second;
        if (ownHasValue || CopiedAsNewName(v)) {
            out = &v;
            return true;
        }
    }
    if (impliedPi) {
        out = &ImpliedPi();
        return true;
    }
    if (own == m_variables.end()) return false;
    out = own->second.get();
    return true;
}

bool CExpression::GetVariableValue(const std::wstring& name, CValue& result)
{
    const CValue* stored = nullptr;
    if (!FindVariable(name, stored)) {
        m_error = ERR_VARIABLE;
        return false;
    }
    if (!stored) {
        result.Clear();
        return true;
    }
    // A variable's text is itself an expression: "0" is the integer 0, "_w7" stays text.
    std::wstring text = stored->AsText();
    if (!ChargeNested(text)) return false;
    if (PlainNestedValue(text, result)) return true;
    CExpression nested(NestedTag{}, *m_machine, std::move(text));
    nested.NestIn(*this);
    CValue value;
    if (nested.Evaluate(value)) {
        result = std::move(value);
    } else if (nested.LimitExceeded()) {
        FailLimit(nested.GetErrorCode());
        return false;
    } else {
        result = CValue::Text(nested.GetExpression());
    }
    return true;
}

unsigned long long CExpression::EffectsSoFar()
{
    return t_effects;
}

void CExpression::NoteEffect()
{
    ++t_effects;
}

void CExpression::ReportUnexpected(const ExprToken& token)
{
    NoteEffect();
    std::wstring line = zv::Format(4096, L"Syntax error: unexpected token of kind %d '%s'\n", token.kind, token.value.AsText().c_str());
    std::string bytes = zv::ToUtf8(line);
    FILE* out = g_diagnostics ? g_diagnostics : stdout;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
}
