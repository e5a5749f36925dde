#pragma once
// CExpression: the expression language of the manifest. Tokenizes the whole text, then
// evaluates while it parses (one function per grammar rule). Knows the operators, the
// variable table and two trivial functions; ZVExpr adds the updater's functions.
#include "updater/expr/value.h"

#include <cstdio>
#include <string>
#include <string_view>
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
namespace zv::expr {
const wchar_t* ExprErrorName(int code);
}

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
    // Longest text an operator or the macros of one literal may produce; longer results
    // fail with ERR_NOMEM.
    static constexpr size_t kMaxTextChars = 1u << 20;
    // Nested evaluations (variable values, macros) one top-level evaluation may run, and
    // the characters they may read together; past either it fails with ERR_SYNTAX.
    // Variables that refer to each other twice over would otherwise take time growing
    // exponentially with the length of the chain.
    static constexpr int kMaxNestedEvaluations = 4096;
    static constexpr size_t kMaxNestedChars = 4 * kMaxTextChars;

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
    // The table this evaluator owns (a nested evaluator's reads its parent's until it
    // writes; the const form shows only what it owns).
    const VariableTable& Variables() const { return m_variables; }
    VariableTable& Variables()
    {
        Materialize();
        ++m_tableWrites;
        return m_variables;
    }
    // Counts what may have changed the own table (copies, SetVariable, names declared,
    // the mutable Variables()). A caller that copies one unchanging table before every
    // evaluation may skip the copy while the count stands where its last copy left it.
    unsigned long long TableWrites() const { return m_tableWrites; }
    // Counts, on this thread, what an evaluation may do besides computing its value:
    // built-in function calls (nested evaluations' included) and descriptions of
    // unexpected tokens. An evaluation that moved neither this nor its evaluator's
    // TableWrites gave what its text and variables alone decide, and repeating it would
    // do nothing more.
    static unsigned long long EffectsSoFar();

    // True with result filled, or false with the error code kept (ERR_EMPTY clears result).
    bool Evaluate(CValue& result);
    int GetErrorCode() const { return m_error; }

    zv::expr::IMachine& Machine() const { return *m_machine; }

    // Where the description of an unexpected token is written (standard output by default).
    static void SetDiagnosticStream(FILE* stream);

    // Charges the nested evaluation of text to the budget of the top-level evaluation;
    // false, with this evaluation failed, when that budget is spent.
    bool ChargeNested(const std::wstring& text);
    // Makes this a nested evaluator of parent: one level deeper, on the same budget,
    // reading the parent's variables as if it had copied them (CopyVariables).
    void NestIn(const CExpression& parent);
    // The value a nested evaluation of text would give, found without one, for what
    // most variables hold: a decimal number, or a name the nested evaluator would not
    // know (the evaluation fails there, so the text stands). False when it takes a
    // nested evaluation.
    bool PlainNestedValue(const std::wstring& text, CValue& out) const;
    int CurrentDepth() const { return m_depth + m_parseDepth; }
    // True after a failure from a limit (depth, budget, text size): it fails the
    // evaluations that contain this one too, instead of yielding the text unevaluated.
    bool LimitExceeded() const { return m_limitExceeded; }
    bool SkipCalls() const { return m_skipCalls; }

    static const ExprFunctionEntry* FindFunction(const ExprFunctionEntry* table, const std::wstring& name);
    static const ExprFunctionEntry* BaseFunctions();

protected:
    // A nested evaluator: its pi is implied until it writes to its table, so that
    // creating one allocates nothing for a table it only reads.
    struct NestedTag {};
    CExpression(NestedTag, zv::expr::IMachine& machine, std::wstring text);

    virtual void InitVariables();
    // Lets a derived class take over a primary; returns whether it did.
    virtual bool ParsePrimaryHook(CValue& result);
    // Appends a token (taking the value, which may already be the slot of the next
    // token); returns true when tokenizing must stop.
    virtual bool AddToken(int kind, CValue& value);
    virtual bool GetVariableValue(const std::wstring& name, CValue& result);
    virtual bool CallFunction(const std::wstring& name, ExprArgs& args, CValue& result);
    virtual const wchar_t* GetFunctionSignature(const std::wstring& name);
    // Reads the next token at the scan position; returns its kind.
    virtual int NextToken(CValue& value);
    virtual int ReadNumber(CValue& value);
    virtual void ReadIdentifier(std::wstring& name);
    virtual int ReadString(CValue& value);

    // Scanner state for the readers.
    wchar_t Peek(size_t ahead = 0) const
    {
        size_t at = m_pos + ahead;
        return at < m_work.size() ? m_work[at] : L'\0';
    }
    void Advance(size_t count = 1) { m_pos += count; }
    bool HasMore() const { return m_pos < m_work.size(); }
    // The characters from the scan position up to the first of a, b and c, or to the end.
    std::wstring_view PeekUntil(wchar_t a, wchar_t b, wchar_t c) const
    {
        size_t end = m_pos;
        while (end < m_work.size() && m_work[end] != a && m_work[end] != b && m_work[end] != c) ++end;
        return std::wstring_view(m_work).substr(m_pos, end - m_pos);
    }
    void SkipBlanks();
    static bool IsIdentStart(wchar_t c);
    static bool IsIdentChar(wchar_t c);
    void SetError(int code) { m_error = code; }
    // The value a name has here: false when the name is unknown; out is null for a name
    // held without a value.
    bool FindVariable(const std::wstring& name, const CValue*& out) const;
    // Makes a name known without a value (reported as undeclared on destruction).
    void DeclareWithoutValue(const std::wstring& name)
    {
        ++m_tableWrites;
        m_variables.emplace(name, nullptr);
    }
    // Fails this evaluation, and the ones containing it, on a limit.
    void FailLimit(int code);

private:
    bool Run(CValue& result);
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
    // Turns a read-through table into an owned copy, as the copy would have been made
    // when this evaluator was created.
    void Materialize();
    void ReportUnexpected(const ExprToken& token);
    static void NoteEffect();

    std::wstring m_text;
    std::wstring m_work;
    size_t m_pos = 0;
    VariableTable m_variables;
    unsigned long long m_tableWrites = 0;
    int m_error = ERR_OK;
    size_t m_next = 0;
    // The token list is m_tokens[0, m_tokenCount); slots behind it keep their storage
    // for the next evaluation.
    std::vector<ExprToken> m_tokens;
    size_t m_tokenCount = 0;
    bool m_resolveIdentifiers = true;
    bool m_skipCalls = false;

    // A nested evaluator reads its parent's table in place, as if it had copied it with
    // CopyVariables, until it writes: copying per reference costs too much.
    const VariableTable* m_inherited = nullptr;
    bool m_impliedPi = false;
    zv::expr::IMachine* m_machine;
    int m_depth = 0;
    int m_parseDepth = 0;
    bool m_limitExceeded = false;
    struct Budget {
        int evaluations = 0;
        size_t chars = 0;
        bool spent = false;
    };
    Budget m_ownBudget;
    bool m_running = false;
    Budget* m_budget = &m_ownBudget; // the top-level evaluation's
};
