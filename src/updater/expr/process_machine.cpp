// The machine the process runs on, replaceable by tools and tests.
#include "updater/expr/machine.h"

namespace zv::expr {

namespace {
IMachine* g_override = nullptr;
}

IMachine& ProcessMachine()
{
    return g_override ? *g_override : PlatformMachine();
}

ScopedProcessMachine::ScopedProcessMachine(IMachine& machine) : m_previous(g_override)
{
    g_override = &machine;
}

ScopedProcessMachine::~ScopedProcessMachine()
{
    g_override = m_previous;
}

} // namespace zv::expr
