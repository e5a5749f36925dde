#pragma once
// Starts a helper program of the test run and waits for it.
#include "framework/handle.h"

#include <windows.h>

#include <string>

namespace zv::test {

// A program built next to the running test program.
std::wstring SiblingProgram(const std::wstring& fileName);

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::wstring& program, const std::wstring& arguments);
    DWORD Pid() const { return m_pid; }
    // Exit code, or STILL_ACTIVE when the wait timed out.
    DWORD Wait(DWORD timeoutMs = 30000);
    // Ends the process at once, as a crash or a task manager would, and waits until it is
    // gone; true when it has ended.
    bool Kill(DWORD timeoutMs = 30000);

private:
    zv::fw::CHandle m_process;
    DWORD m_pid = 0;
};

} // namespace zv::test
