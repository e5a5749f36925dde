#pragma once
// Small operating-system tests (Windows).
#include <windows.h>

// Nonzero on Windows 6.0 (Vista) and later.
BOOL IsVistaOrLater();
// Neither null nor INVALID_HANDLE_VALUE.
inline bool IsValidHandle(HANDLE h)
{
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}
