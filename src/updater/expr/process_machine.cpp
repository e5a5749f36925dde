// The machine the process runs on, replaceable by tools and tests.
#include "updater/expr/machine.h"

#include "updater/expr/fake_machine.h"

namespace zvexpr {

#ifdef _WIN32
IMachine& PlatformMachine(); // machine_win32_shell.cpp
#endif

namespace {

IMachine* g_override = nullptr;

#ifndef _WIN32
// Natively there is no Windows to ask: a 64-bit Windows 7 as a fresh Wine prefix reports it.
IMachine& DefaultMachine()
{
    static FakeMachine machine;
    return machine;
}
#endif

} // namespace

IMachine& ProcessMachine()
{
#ifdef _WIN32
    return g_override ? *g_override : PlatformMachine();
#else
    return g_override ? *g_override : DefaultMachine();
#endif
}

void SetProcessMachine(IMachine* machine)
{
    g_override = machine;
}

} // namespace zvexpr
