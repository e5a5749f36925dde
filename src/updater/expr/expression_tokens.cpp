// The tokenizer of CExpression: turns the text into the token list before parsing.
#include "updater/expr/expression.h"

#include "updater/base/text_helpers.h"

#include <cwchar>

using com_quorvane_value::CValue;

namespace {

struct OperatorSpelling {
    const wchar_t* text;
    int kind;
    int code;
};

// Longer spellings first, so that "!=" wins over "!" and "&&" over "&".
const OperatorSpelling kOperators[] = {
    {L"!=", TK_LOWOP, OP_NE}, {L"!", TK_NOT, 0},        {L"&&", TK_LOWOP, OP_LAND}, {L"&", TK_LOWOP, OP_BAND},
    {L"||", TK_LOWOP, OP_LOR}, {L"|", TK_LOWOP, OP_BOR}, {L"==", TK_LOWOP, OP_EQ},   {L"<=", TK_LOWOP, OP_LE},
    {L"<", TK_LOWOP, OP_LT},   {L">=", TK_LOWOP, OP_GE}, {L">", TK_LOWOP, OP_GT},    {L"(", TK_OPEN, 0},
    {L")", TK_CLOSE, 0},       {L",", TK_COMMA, 0},      {L"+", TK_LOWOP, OP_ADD},   {L"-", TK_LOWOP, OP_SUB},
    {L"*", TK_HIGHOP, OP_MUL}, {L"/", TK_HIGHOP, OP_DIV}, {L"%", TK_HIGHOP, OP_MOD}, {L"^", TK_HIGHOP, OP_XOR},
    {L"?", TK_HIGHOP, OP_COND}, {L":", TK_HIGHOP, OP_COLON},
};

} // namespace

wchar_t CExpression::Peek(size_t ahead) const
{
    size_t at = m_pos + ahead;
    return at < m_work.size() ? m_work[at] : L'\0';
}

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

bool CExpression::AddToken(int kind, const CValue& value)
{
    if (kind == TK_UNKNOWN || m_error != ERR_OK) {
        if (m_error == ERR_OK) m_error = ERR_TOKEN;
        return true;
    }
    m_tokens.push_back(ExprToken{kind, value});
    return kind == TK_END;
}

int CExpression::NextToken(CValue& value)
{
    SkipBlanks();
    if (m_pos >= m_work.size()) return TK_END;
    wchar_t c = m_work[m_pos];
    if (c >= L'0' && c <= L'9') return ReadNumber(value);
    if (IsIdentStart(c)) {
        std::wstring name;
        ReadIdentifier(name);
        value = CValue::Text(std::move(name));
        return TK_IDENT;
    }
    if (c == L'"') return ReadString(value);
    for (const auto& op : kOperators) {
        size_t n = std::wcslen(op.text);
        if (m_work.compare(m_pos, n, op.text) == 0) {
            m_pos += n;
            value = CValue::Int(op.code);
            return op.kind;
        }
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
    std::wstring text = m_work.substr(start, m_pos - start);
    if (dot) value = CValue::Real(CValue::Text(text).AsReal());
    else value = CValue::Int(zv::ReadDecimal(text));
    return TK_VALUE;
}

void CExpression::ReadIdentifier(std::wstring& name)
{
    size_t start = m_pos;
    ++m_pos;
    while (m_pos < m_work.size() && IsIdentChar(m_work[m_pos])) ++m_pos;
    name = m_work.substr(start, m_pos - start);
}

int CExpression::ReadString(CValue& value)
{
    ++m_pos; // opening quote
    std::wstring text;
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
        value = CValue::Text(std::move(text));
        return TK_VALUE;
    }
    m_error = ERR_TOKEN;
    return TK_UNKNOWN;
}
