#include "support/child_process.h"

#include "updater/base/win32/path_helpers.h"

#include <vector>

namespace zv::test {

std::wstring SiblingProgram(const std::wstring& fileName)
{
    return GetModuleDirectory() + L"\\" + fileName;
}

ChildProcess::~ChildProcess()
{
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(m_process.Get(), 1);
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
    zv::fw::CHandle thread(pi.hThread);
    m_process.Reset(pi.hProcess);
    m_pid = pi.dwProcessId;
    return true;
}

DWORD ChildProcess::Wait(DWORD timeoutMs)
{
    if (!m_process) return STILL_ACTIVE;
    if (::WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

bool ChildProcess::Kill(DWORD timeoutMs)
{
    if (!m_process) return false;
    ::TerminateProcess(m_process.Get(), 1);
    return ::WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0;
}

} // namespace zv::test
