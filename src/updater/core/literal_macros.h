#pragma once
// Manifest texts such as a URL or a command line are usually string literals with
// "<name>" macros, or literals and variable names joined by "+", all of variables that
// hold plain text ("<lang>", tempdir). Such a text is expanded here straight from the
// evaluator's variables, giving what the expression engine gives, without its tokens,
// parse and nested evaluators.
#include "updater/expr/zv_expr.h"

#include <string>
#include <string_view>
#include <vector>

namespace zv::core {

// What the variables named by a run of expansions give, kept while one evaluator's table
// stands still: a load names the same two or three variables in thousands of texts. An
// entry is used only while the evaluator's TableWrites count and depth are those it was
// read at; anything else starts the record afresh.
class ExpandedVariables {
public:
    enum class Kind { Unknown, NoValue, Refused, Text };
    struct Entry {
        std::wstring name;
        Kind kind = Kind::Unknown;
        size_t storedChars = 0; // what a nested evaluation of the value would charge
        std::wstring text;      // Kind::Text: what the value gives
    };

    // The entry for name, or null when it has to be read and then kept.
    const Entry* Find(const ZVExpr& evaluator, std::wstring_view name);
    // A copy of entry, read since the last Find; null when the record is full.
    const Entry* Keep(const Entry& entry);
    size_t Size() const { return m_entries.size(); }

private:
    // A handful of names: compared in place, no hashing.
    static constexpr size_t kMaxEntries = 16;
    std::vector<Entry> m_entries;
    const ZVExpr* m_evaluator = nullptr;
    unsigned long long m_writes = 0;
    int m_depth = 0;
};

// The text evaluator would give for expression (its variables already in place), when
// expression is a string literal, or one followed by "+" and literals or variable names,
// whose macros and names are all variables the evaluator holds with a value it takes as
// it stands. Null for anything else (an environment macro, a doubled quote, another
// operator, a call, an unknown name, a value that needs evaluating, a limit that could be
// reached): the engine decides those. The text lives until the next call on this thread.
// With variables, what the names give is taken from and kept in that record.
const std::wstring* ExpandLiteralMacros(const ZVExpr& evaluator, const std::wstring& expression, ExpandedVariables* variables);

// The same into out, untouched when the engine has to decide.
bool ExpandLiteralMacros(const ZVExpr& evaluator, const std::wstring& expression, std::wstring& out);

} // namespace zv::core
