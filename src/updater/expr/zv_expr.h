#pragma once
// ZVExpr: the evaluator the updater uses. Adds to CExpression environment references
// (%NAME%, so "%" is never the remainder operator here), macros inside string literals
// ("<var>" and "%ENV%") and the updater's built-in function library.
#include "updater/expr/expression.h"

class ZVExpr : public CExpression {
public:
    ZVExpr();
    explicit ZVExpr(const std::wstring& text);
    explicit ZVExpr(zv::expr::IMachine& machine, const std::wstring& text = std::wstring());
    ~ZVExpr() override;

    // Evaluates text in a fresh ZVExpr holding this object's variables; on failure the
    // value is the text itself.
    virtual CValue EvaluateSubExpression(const std::wstring& text);

    static const ExprFunctionEntry* Functions();

protected:
    bool CallFunction(const std::wstring& name, ExprArgs& args, CValue& result) override;
    const wchar_t* GetFunctionSignature(const std::wstring& name) override;
    int NextToken(CValue& value) override;
    int ReadString(CValue& value) override;

private:
    // Reads a name (letters, digits, "_") at the scan position.
    std::wstring ReadMacroName();
    std::wstring ExpandVariableMacro(const std::wstring& name);
};

namespace zv::expr {

// What brand, UBrand and UPo report: the request group whose manifest was loaded last.
void SetLoadedGroupInfo(const std::wstring& productBrand, const std::wstring& hostProductOption);
const std::wstring& LoadedGroupBrand();
const std::wstring& LoadedGroupProductOption();

} // namespace zv::expr
