// The tokenizer of CExpression: turns the text into the token list before parsing.
#include "updater/expr/expression.h"

#include "updater/base/text_helpers.h"


using com_quorvane_value::CValue;

namespace {

struct OperatorSpelling {
    int kind;
    int code;
    size_t length; // 0: none
};

// The operator at c (and next): "!=" wins over "!", "&&" over "&", "||" over "|",
// "<=" over "<", ">=" over ">"; a lone "=" is none.
OperatorSpelling MatchOperator(wchar_t c, wchar_t next)
{
    switch (c) {
    case L'!': return next == L'=' ? OperatorSpelling{TK_LOWOP, OP_NE, 2} : OperatorSpelling{TK_NOT, 0, 1};
    case L'&': return next == L'&' ? OperatorSpelling{TK_LOWOP, OP_LAND, 2} : OperatorSpelling{TK_LOWOP, OP_BAND, 1};
    case L'|': return next == L'|' ? OperatorSpelling{TK_LOWOP, OP_LOR, 2} : OperatorSpelling{TK_LOWOP, OP_BOR, 1};
    case L'=': return next == L'=' ? OperatorSpelling{TK_LOWOP, OP_EQ, 2} : OperatorSpelling{TK_UNKNOWN, 0, 0};
    case L'<': return next == L'=' ? OperatorSpelling{TK_LOWOP, OP_LE, 2} : OperatorSpelling{TK_LOWOP, OP_LT, 1};
    case L'>': return next == L'=' ? OperatorSpelling{TK_LOWOP, OP_GE, 2} : OperatorSpelling{TK_LOWOP, OP_GT, 1};
    case L'(': return {TK_OPEN, 0, 1};
    case L')': return {TK_CLOSE, 0, 1};
    case L',': return {TK_COMMA, 0, 1};
    case L'+': return {TK_LOWOP, OP_ADD, 1};
    case L'-': return {TK_LOWOP, OP_SUB, 1};
    case L'*': return {TK_HIGHOP, OP_MUL, 1};
    case L'/': return {TK_HIGHOP, OP_DIV, 1};
    case L'%': return {TK_HIGHOP, OP_MOD, 1};
    case L'^': return {TK_HIGHOP, OP_XOR, 1};
    case L'?': return {TK_HIGHOP, OP_COND, 1};
    case L':': return {TK_HIGHOP, OP_COLON, 1};
    default: return {TK_UNKNOWN, 0, 0};
    }
}

} // namespace

void CExpression::SkipBlanks()
{
    while (m_pos < m_work.size()) {
        wchar_t c = m_work[m_pos];
        if (c != L' ' && c != L'\t' && c != L'\n' && c != L'\r') break;
        ++m_pos;
    }
}

bool CExpression::IsIdentStart(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_';
}

bool CExpression::IsIdentChar(wchar_t c)
{
    return IsIdentStart(c) || (c >= L'0' && c <= L'9');
}

bool CExpression::AddToken(int kind, CValue& value)
{
    if (kind == TK_UNKNOWN || m_error != ERR_OK) {
        if (m_error == ERR_OK) m_error = ERR_TOKEN;
        return true;
    }
    if (m_tokenCount == m_tokens.size()) m_tokens.emplace_back();
    ExprToken& slot = m_tokens[m_tokenCount++];
    slot.kind = kind;
    if (&slot.value != &value) slot.value = std::move(value);
    return kind == TK_END;
}

int CExpression::NextToken(CValue& value)
{
    SkipBlanks();
    if (m_pos >= m_work.size()) return TK_END;
    wchar_t c = m_work[m_pos];
    if (c >= L'0' && c <= L'9') return ReadNumber(value);
    if (IsIdentStart(c)) {
        ReadIdentifier(value.MakeText());
        return TK_IDENT;
    }
    if (c == L'"') return ReadString(value);
    OperatorSpelling op = MatchOperator(c, Peek(1));
    if (op.length) {
        m_pos += op.length;
        value = CValue::Int(op.code);
        return op.kind;
    }
    // A lone "=", a "." that starts nothing, or any other character.
    return TK_UNKNOWN;
}

int CExpression::ReadNumber(CValue& value)
{
    size_t start = m_pos;
    bool dot = false;
    while (m_pos < m_work.size()) {
        wchar_t c = m_work[m_pos];
        if (c >= L'0' && c <= L'9') {
            ++m_pos;
        } else if (c == L'.' && !dot) {
            dot = true;
            ++m_pos;
        } else {
            break;
        }
    }
    std::wstring& text = value.MakeText();
    text.assign(m_work, start, m_pos - start);
    if (dot) value = CValue::Real(value.AsReal());
    else value = CValue::Int(zv::ReadDecimal(text));
    return TK_VALUE;
}

void CExpression::ReadIdentifier(std::wstring& name)
{
    size_t start = m_pos;
    ++m_pos;
    while (m_pos < m_work.size() && IsIdentChar(m_work[m_pos])) ++m_pos;
    name.assign(m_work, start, m_pos - start);
}

int CExpression::ReadString(CValue& value)
{
    ++m_pos; // opening quote
    std::wstring& text = value.MakeText(); // filled in place
    while (m_pos < m_work.size()) {
        wchar_t c = m_work[m_pos++];
        if (c != L'"') {
            text += c;
            continue;
        }
        if (Peek() == L'"') {
            text += L'"';
            ++m_pos;
            continue;
        }
        return TK_VALUE;
    }
    m_error = ERR_TOKEN;
    return TK_UNKNOWN;
}
