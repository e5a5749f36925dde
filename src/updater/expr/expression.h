#pragma once
// CExpression: the expression language of the manifest. Tokenizes the whole text, then
// evaluates while it parses (one function per grammar rule). Knows the operators, the
// variable table and two trivial functions; ZVExpr adds the updater's functions.
#include "updater/expr/value.h"

#include <cstdio>
#include <string>
#include <vector>

namespace zv::expr {
class IMachine;
}

enum ExprError : int {
    ERR_OK = 0,
    ERR_ERROR = 1,
    ERR_NOMEM = 2,
    ERR_EMPTY = 3,
    ERR_TOKEN = 4,
    ERR_VARIABLE = 5,
    ERR_SYNTAX = 6,
    ERR_FUNCTION = 7,
    ERR_FUNC_UNK = 8,
    ERR_EOE = 9,
    ERR_PARAMLIST = 10,
    ERR_DIV_ZERO = 11,
    ERR_PARAM_TYPE = 12,
};

// "ERR_DIV_ZERO" for 11; "ERR_UNKNOWN" outside the table.
const wchar_t* ExprErrorName(int code);

enum ExprTokenKind : int {
    TK_END = 0,
    TK_COMMA = 2,
    TK_OPEN = 3,
    TK_CLOSE = 4,
    TK_VALUE = 5,
    TK_IDENT = 6,
    TK_LOWOP = 8,
    TK_HIGHOP = 9,
    TK_NOT = 10,
    TK_ENV = 11,
    TK_UNKNOWN = 12,
};

enum ExprOperator : int {
    OP_ADD = 1,
    OP_SUB = 2,
    OP_DIV = 3,
    OP_MUL = 4,
    OP_LAND = 6,
    OP_LOR = 7,
    OP_EQ = 8,
    OP_NE = 9,
    OP_GT = 10,
    OP_GE = 11,
    OP_LT = 12,
    OP_LE = 13,
    OP_BOR = 14,
    OP_BAND = 15,
    OP_MOD = 16,
    OP_XOR = 17,
    OP_COND = 18,
    OP_COLON = 19,
};

struct ExprToken {
    int kind = TK_END;
    com_quorvane_value::CValue value;   // literal, identifier or variable name, operator code
};

class CExpression;

using ExprArgs = std::vector<com_quorvane_value::CValue>;
// Fills result and returns nonzero on success.
using ExprFunction = int (*)(ExprArgs& args, com_quorvane_value::CValue& result, CExpression& expr);

struct ExprFunctionEntry {
    const wchar_t* name;        // null ends a table
    const wchar_t* signature;
    ExprFunction function;
};

class CExpression {
public:
    using CValue = com_quorvane_value::CValue;
    using VariableTable = com_quorvane_value::VariableTable;

    // Nesting of parentheses, unary operators and variable or macro evaluations
    // together; deeper input fails with ERR_SYNTAX instead of exhausting the stack.
    static constexpr int kMaxDepth = 96;
    // Longest text an operator may produce; longer results fail with ERR_NOMEM.
    static constexpr size_t kMaxTextChars = 1u << 20;

    CExpression();
    explicit CExpression(const std::wstring& text);
    explicit CExpression(zv::expr::IMachine& machine, const std::wstring& text = std::wstring());
    virtual ~CExpression();
    CExpression(const CExpression&) = delete;
    CExpression& operator=(const CExpression&) = delete;

    void SetExpression(const std::wstring& text) { m_text = text; }
    const std::wstring& GetExpression() const { return m_text; }

    void CopyVariables(const VariableTable& source);
    void SetVariable(const std::wstring& name, const CValue& value);
    const VariableTable& Variables() const { return m_variables; }
    VariableTable& Variables() { return m_variables; }

    // True with result filled, or false with the error code kept (ERR_EMPTY clears result).
    bool Evaluate(CValue& result);
    int GetErrorCode() const { return m_error; }

    zv::expr::IMachine& Machine() const { return *m_machine; }

    // Where the description of an unexpected token is written (standard output by default).
    static void SetDiagnosticStream(FILE* stream);

    // For nested evaluators: the depth already used by the parent.
    void SetNestingDepth(int depth) { m_depth = depth; }
    int CurrentDepth() const { return m_depth + m_parseDepth; }
    bool DepthExceeded() const { return m_depthExceeded; }
    bool SkipCalls() const { return m_skipCalls; }

    static const ExprFunctionEntry* FindFunction(const ExprFunctionEntry* table, const std::wstring& name);
    static const ExprFunctionEntry* BaseFunctions();

protected:
    virtual void InitVariables();
    // Lets a derived class take over a primary; returns whether it did.
    virtual bool ParsePrimaryHook(CValue& result);
    // Appends a token; returns true when tokenizing must stop.
    virtual bool AddToken(int kind, const CValue& value);
    virtual bool GetVariableValue(const std::wstring& name, CValue& result);
    virtual bool CallFunction(const std::wstring& name, ExprArgs& args, CValue& result);
    virtual const wchar_t* GetFunctionSignature(const std::wstring& name);
    // Reads the next token at the scan position; returns its kind.
    virtual int NextToken(CValue& value);
    virtual int ReadNumber(CValue& value);
    virtual void ReadIdentifier(std::wstring& name);
    virtual int ReadString(CValue& value);

    // Scanner state for the readers.
    wchar_t Peek(size_t ahead = 0) const;
    void Advance(size_t count = 1) { m_pos += count; }
    bool HasMore() const { return m_pos < m_work.size(); }
    void SkipBlanks();
    static bool IsIdentStart(wchar_t c);
    static bool IsIdentChar(wchar_t c);
    void SetError(int code) { m_error = code; }
    // Marks a nested evaluation that ran out of depth: this evaluation fails too.
    void FailDeep();

private:
    void ParseExpression(CValue& out);
    void ParseTerm(CValue& out);
    void ParsePrimary(CValue& out);
    void ParseBranch(CValue& out, bool skip);
    void ParseFunctionCall(const std::wstring& name, CValue& out);
    bool ApplyBinary(int op, CValue& left, const CValue& right);
    void FailOperand(CValue& out);
    bool EnterLevel();
    void LeaveLevel() { --m_parseDepth; }
    const ExprToken& Current() const;
    // The value a name has here: false when the name is unknown; out is null for a name
    // held without a value.
    bool FindVariable(const std::wstring& name, const CValue*& out) const;
    void ReportUnexpected(const ExprToken& token);

    std::wstring m_text;
    std::wstring m_work;
    size_t m_pos = 0;
    VariableTable m_variables;
    int m_error = ERR_OK;
    size_t m_next = 0;
    std::vector<ExprToken> m_tokens;
    bool m_resolveIdentifiers = true;
    bool m_skipCalls = false;

    // A variable evaluator reads its parent's table in place, as if it had copied it
    // with CopyVariables (it never writes to it): copying per reference costs too much.
    const VariableTable* m_inherited = nullptr;
    zv::expr::IMachine* m_machine;
    int m_depth = 0;
    int m_parseDepth = 0;
    bool m_depthExceeded = false;
};
