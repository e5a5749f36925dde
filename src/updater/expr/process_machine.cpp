// The machine the process runs on, replaceable by tools and tests.
#include "updater/expr/machine.h"

#include "updater/expr/fake_machine.h"

namespace zvexpr {

namespace {

IMachine* g_override = nullptr;

IMachine& DefaultMachine()
{
    static FakeMachine machine;
    return machine;
}

} // namespace

IMachine& ProcessMachine()
{
    return g_override ? *g_override : DefaultMachine();
}

void SetProcessMachine(IMachine* machine)
{
    g_override = machine;
}

} // namespace zvexpr
