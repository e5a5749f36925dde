// CExpression: construction, the variable table, Evaluate and the two base functions.
#include "updater/expr/expression.h"

#include "updater/expr/machine.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

#include <cstring>

using com_quorvane_value::CValue;

namespace {

FILE* g_diagnostics = nullptr;

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

const wchar_t* ExprErrorName(int code)
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

CExpression::~CExpression()
{
    for (const auto& [name, value] : m_variables)
        if (!value) ZvLog().Log(ZVLOG_ERROR, L"ZvLib: ---- ERROR: *** Undeclared variable '%s'\n", name.c_str());
}

void CExpression::InitVariables()
{
    SetVariable(L"pi", CValue::Real(3.14));
}

void CExpression::SetDiagnosticStream(FILE* stream)
{
    g_diagnostics = stream;
}

void CExpression::CopyVariables(const VariableTable& source)
{
    for (const auto& [name, value] : source) {
        if (!value) continue;
        auto it = m_variables.find(name);
        if (it != m_variables.end() && it->second) {
            *it->second = *value;
        } else if (CopiedAsNewName(*value)) {
            m_variables[name] = std::make_unique<CValue>(*value);
        }
    }
}

void CExpression::SetVariable(const std::wstring& name, const CValue& value)
{
    auto& slot = m_variables[name];
    if (slot) *slot = value;
    else slot = std::make_unique<CValue>(value);
}

bool CExpression::Evaluate(CValue& result)
{
    m_error = ERR_OK;
    m_depthExceeded = false;
    if (m_text.empty()) {
        m_error = ERR_EMPTY;
        result.Clear();
        return false;
    }
    if (m_depth > kMaxDepth) {
        FailDeep();
        return false;
    }
    m_work = m_text;
    m_pos = 0;
    m_tokens.clear();
    m_next = 0;
    m_parseDepth = 0;
    m_resolveIdentifiers = true;
    m_skipCalls = false;
    for (;;) {
        CValue value;
        int kind = NextToken(value);
        if (AddToken(kind, value)) break;
    }
    if (m_error != ERR_OK) return false;

    result.Clear();
    ParseExpression(result);
    if (m_error == ERR_OK && Current().kind != TK_END) m_error = ERR_SYNTAX;
    return m_error == ERR_OK;
}

void CExpression::FailDeep()
{
    m_error = ERR_SYNTAX;
    m_depthExceeded = true;
}

const ExprFunctionEntry* CExpression::BaseFunctions()
{
    return kBaseFunctions;
}

const ExprFunctionEntry* CExpression::FindFunction(const ExprFunctionEntry* table, const std::wstring& name)
{
    for (const ExprFunctionEntry* e = table; e->name; ++e)
        if (name == e->name) return e;
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

bool CExpression::FindVariable(const std::wstring& name, const CValue*& out) const
{
    auto own = m_variables.find(name);
    if (!m_inherited) {
        if (own == m_variables.end()) return false;
        out = own->second.get();
        return true;
    }
    // What CopyVariables(*m_inherited) would have left in the own table: known names
    // take the parent's value, new ones come as CopiedAsNewName says.
    bool ownHasValue = own != m_variables.end() && own->second;
    auto parent = m_inherited->find(name);
    if (parent != m_inherited->end() && parent->second) {
        const CValue& v = *parent->second;
        if (ownHasValue || CopiedAsNewName(v)) {
            out = &v;
            return true;
        }
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
    CExpression nested(*m_machine, text);
    nested.SetNestingDepth(CurrentDepth() + 1);
    nested.m_inherited = m_inherited ? m_inherited : &m_variables;
    CValue value;
    if (nested.Evaluate(value)) {
        result = std::move(value);
    } else if (nested.DepthExceeded()) {
        FailDeep();
        return false;
    } else {
        result = CValue::Text(std::move(text));
    }
    return true;
}

void CExpression::ReportUnexpected(const ExprToken& token)
{
    std::wstring line = zv::Format(4096, L"Syntax error: unexpected token of kind %d '%s'\n", token.kind, token.value.AsText().c_str());
    std::string bytes = zv::ToUtf8(line);
    FILE* out = g_diagnostics ? g_diagnostics : stdout;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
}
