#pragma once
// Starts a helper program of the test run and waits for it.
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

private:
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
};

} // namespace zv::test
