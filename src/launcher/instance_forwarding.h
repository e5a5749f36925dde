#pragma once
// A later start hands its request to the running instance: close it (switch x) and/or
// ask it to show its progress window for the requested period, then exits.
#include "launcher/command_line.h"

#include <windows.h>

namespace zv::launcher {

struct ForwardingPolicy {
    int lookups = 4;             // the running instance may still be creating its window
    DWORD retryDelayMs = 1000;   // pause before each further look-up
};

struct ForwardingResult {
    HWND controller = nullptr;   // the running instance's controller window, if found
    int lookupsMade = 0;
    bool postedClose = false;
    bool postedShow = false;
};

ForwardingResult ForwardToRunningInstance(const KECommandLineInfo& info, const ForwardingPolicy& policy = {});

} // namespace zv::launcher
