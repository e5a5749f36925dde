#pragma once
// Named-event tests and signals with a verbose trace, and the installer result code
// read as a reboot request (Windows).
#include <string>

// 1 when the named event exists and is signalled.
int CheckEventSignaled(const std::wstring& eventName, const std::wstring& label, const std::wstring& displayName,
                       int verbose);
// Signals an existing named event; never creates it.
void SignalEvent(const std::wstring& eventName, const std::wstring& label, const std::wstring& displayName,
                 const std::wstring& purpose, int verbose);
// Signals eventName when resultCode equals referenceCode (3010: reboot required).
void InterpretRebootCode(int resultCode, int referenceCode, const std::wstring& eventName, const std::wstring& label,
                         const std::wstring& displayName, int verbose);
