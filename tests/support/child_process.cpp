#include "support/child_process.h"

#include <vector>

namespace zv::test {

std::wstring SiblingProgram(const std::wstring& fileName)
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir + fileName;
}

ChildProcess::~ChildProcess()
{
    if (m_process) {
        if (::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) ::TerminateProcess(m_process, 1);
        ::CloseHandle(m_process);
    }
}

bool ChildProcess::Start(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    std::vector<wchar_t> buf(commandLine.begin(), commandLine.end());
    buf.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(program.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    m_process = pi.hProcess;
    m_pid = pi.dwProcessId;
    return true;
}

DWORD ChildProcess::Wait(DWORD timeoutMs)
{
    if (!m_process) return STILL_ACTIVE;
    if (::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process, &code);
    return code;
}

} // namespace zv::test
