#pragma once
// The scope of a load or a selection, in which the library's variables cannot change:
// the evaluator's copy of them is made again only after the evaluator wrote its table.
#include "updater/core/updater_imp.h"
#include "updater/core/literal_macros.h"

struct CUpdaterImp::HeldVariables {
    bool copied = false;
    unsigned long long writes = 0; // the evaluator's count after that copy
    // What the names in the scope's texts expanded to, while the evaluator's table stands.
    zv::core::ExpandedVariables expanded;
};

class CUpdaterImp::HoldVariables {
public:
    // An inner scope keeps the outer one's record.
    explicit HoldVariables(CUpdaterImp& imp) : m_imp(imp), m_outer(imp.m_held) { m_imp.m_held = m_outer ? m_outer : &m_held; }
    ~HoldVariables() { m_imp.m_held = m_outer; }
    HoldVariables(const HoldVariables&) = delete;
    HoldVariables& operator=(const HoldVariables&) = delete;

private:
    CUpdaterImp& m_imp;
    HeldVariables* m_outer;
    HeldVariables m_held;
};
