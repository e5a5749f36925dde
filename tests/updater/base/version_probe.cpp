// Reports IsVistaOrLater through its exit code: 60 for nonzero, 50 for zero. The test
// runs it with Wine told to show it another Windows version.
#include "updater/base/win32/system_helpers.h"

int wmain()
{
    return IsVistaOrLater() ? 60 : 50;
}
