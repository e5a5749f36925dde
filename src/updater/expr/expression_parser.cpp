// The parser of CExpression: evaluates while it parses the token list. Every rule
// returns at once when an error is set, leaving its value empty.
#include "updater/expr/expression.h"

#include "updater/expr/machine.h"
#include "updater/expr/operators.h"

#include <string_view>

using com_quorvane_value::CValue;
using namespace com_quorvane_value;

namespace {

const ExprToken kEndToken{};

bool KindMatches(wchar_t letter, const CValue& v)
{
    switch (letter) {
    case L'S': return v.Kind() == VK_TEXT;
    case L'I': return v.Kind() == VK_INT || v.Kind() == VK_UINT;
    case L'R': return v.Kind() == VK_REAL;
    case L'N': return v.Kind() == VK_INT || v.Kind() == VK_UINT || v.Kind() == VK_REAL;
    default: return true;
    }
}

} // namespace

const ExprToken& CExpression::Current() const
{
    return m_next < m_tokenCount ? m_tokens[m_next] : kEndToken;
}

bool CExpression::EnterLevel()
{
    if (CurrentDepth() >= kMaxDepth) {
        FailLimit(ERR_SYNTAX);
        return false;
    }
    ++m_parseDepth;
    return true;
}

bool CExpression::ApplyBinary(int op, CValue& left, const CValue& right)
{
    int error = zv::expr::ApplyOperator(op, left, right, kMaxTextChars);
    if (error == ERR_OK) return true;
    m_error = error;
    left.Clear();
    return false;
}

// A failed or empty operand, or a failed branch, fails the rule with ERR_SYNTAX (running
// out of a limit keeps its own code) and leaves the rule's value empty.
void CExpression::FailOperand(CValue& out)
{
    if (!m_limitExceeded) m_error = ERR_SYNTAX;
    out.Clear();
}

bool CExpression::ParsePrimaryHook(CValue&)
{
    return false;
}

// expression := term { lower-op term }   (all twelve lower operators bind alike)
void CExpression::ParseExpression(CValue& out)
{
    if (!EnterLevel()) return;
    ParseTerm(out);
    while (m_error == ERR_OK && Current().kind == TK_LOWOP) {
        int op = Current().value.AsInt();
        ++m_next;
        CValue right;
        ParseTerm(right);
        if (m_error != ERR_OK || right.IsEmpty()) {
            FailOperand(out);
            break;
        }
        if (!ApplyBinary(op, out, right)) break;
    }
    LeaveLevel();
}

// term := primary { higher-op primary | "?" expression ":" expression }
void CExpression::ParseTerm(CValue& out)
{
    ParsePrimary(out);
    while (m_error == ERR_OK && Current().kind == TK_HIGHOP && Current().value.AsInt() != OP_COLON) {
        int op = Current().value.AsInt();
        ++m_next;
        if (op == OP_COND) {
            bool takeFirst = out.AsInt() != 0;
            CValue first, second;
            ParseBranch(first, !takeFirst);
            if (m_error == ERR_OK && !(Current().kind == TK_HIGHOP && Current().value.AsInt() == OP_COLON))
                m_error = ERR_SYNTAX;
            if (m_error == ERR_OK) {
                ++m_next;
                ParseBranch(second, takeFirst);
            }
            if (m_error != ERR_OK) return FailOperand(out);
            out = takeFirst ? std::move(first) : std::move(second);
            continue;
        }
        CValue right;
        ParsePrimary(right);
        if (m_error != ERR_OK || right.IsEmpty()) return FailOperand(out);
        if (!ApplyBinary(op, out, right)) return;
    }
}

void CExpression::ParseBranch(CValue& out, bool skip)
{
    bool saved = m_skipCalls;
    if (skip) m_skipCalls = true;
    ParseExpression(out);
    m_skipCalls = saved;
}

// primary := "(" expression ")" | literal | %env% | "-" primary | "!" expression
//          | identifier "(" arguments ")" | identifier
void CExpression::ParsePrimary(CValue& out)
{
    if (ParsePrimaryHook(out)) return;
    const ExprToken& token = Current();
    switch (token.kind) {
    case TK_OPEN:
        ++m_next;
        ParseExpression(out);
        if (m_error != ERR_OK) return;
        if (Current().kind != TK_CLOSE) {
            m_error = ERR_SYNTAX;
            out.Clear();
            return;
        }
        ++m_next;
        return;
    case TK_VALUE:
        out = token.value;
        ++m_next;
        return;
    case TK_ENV: {
        std::wstring value;
        if (!m_machine->GetEnvironment(token.value.TextPayload(), value)) value.clear();
        ++m_next;
        out = CValue::Text(std::move(value));
        return;
    }
    case TK_NOT:
    case TK_LOWOP: {
        bool negate = token.kind == TK_LOWOP;
        if (negate && token.value.AsInt() != OP_SUB) break;
        ++m_next;
        if (!EnterLevel()) return;
        CValue operand;
        if (negate) ParsePrimary(operand);
        else ParseExpression(operand);
        LeaveLevel();
        if (m_error != ERR_OK || operand.IsEmpty()) return FailOperand(out);
        if (negate) out = CValue::Int(static_cast<int32_t>(0u - operand.AsUInt()));
        else out = CValue::Int(operand.AsInt() == 0 ? 1 : 0);
        return;
    }
    case TK_IDENT: {
        std::wstring name = token.value.TextPayload();
        ++m_next;
        if (Current().kind == TK_OPEN) ParseFunctionCall(name, out);
        else if (m_resolveIdentifiers) GetVariableValue(name, out);
        else out = CValue::Text(std::move(name));
        return;
    }
    default: break;
    }
    ReportUnexpected(token);
    m_error = ERR_SYNTAX;
    out.Clear();
}

// call := name "(" [ expression { "," expression } ] ")", checked against the signature
void CExpression::ParseFunctionCall(const std::wstring& name, CValue& out)
{
    const wchar_t* signature = GetFunctionSignature(name);
    if (!signature) {
        m_error = ERR_FUNC_UNK;
        return;
    }
    ++m_next; // "("
    std::wstring_view sig = signature;
    ExprArgs args;
    args.reserve(sig.size());
    bool checking = true;
    if (Current().kind == TK_CLOSE) {
        if (!sig.empty() && sig != L"*") {
            m_error = ERR_PARAMLIST;
            return;
        }
        checking = false;
    } else {
        for (;;) {
            wchar_t letter = checking && args.size() < sig.size() ? sig[args.size()] : L'?';
            if (letter == L'*') checking = false;
            bool savedResolve = m_resolveIdentifiers;
            if (letter == L'V') m_resolveIdentifiers = false;
            CValue arg;
            ParseExpression(arg);
            m_resolveIdentifiers = savedResolve;
            if (m_error != ERR_OK) return;
            // In a branch that is not taken, functions yield 0 whatever they would
            // return, so their kind says nothing: kinds are checked only where calls run.
            if (checking && !m_skipCalls && !KindMatches(letter, arg)) {
                m_error = ERR_PARAM_TYPE;
                return;
            }
            args.push_back(std::move(arg));
            if (Current().kind != TK_COMMA) break;
            ++m_next;
        }
    }
    if (checking && args.size() != sig.size()) {
        m_error = ERR_PARAMLIST;
        return;
    }
    if (Current().kind != TK_CLOSE) {
        m_error = ERR_SYNTAX;
        return;
    }
    ++m_next;
    if (m_skipCalls) {
        out = CValue::Int(0);
        return;
    }
    NoteEffect();
    if (!CallFunction(name, args, out)) {
        m_error = ERR_FUNCTION;
        out.Clear();
    }
}
