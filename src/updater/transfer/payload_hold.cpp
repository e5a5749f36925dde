#include "updater/transfer/payload_hold.h"

namespace zv {

namespace {

bool FileIdentity(HANDLE file, BY_HANDLE_FILE_INFORMATION& info)
{
    return ::GetFileInformationByHandle(file, &info) != FALSE;
}

} // namespace

PayloadHold PayloadHold::Open(const std::wstring& path)
{
    PayloadHold hold;
    hold.m_path = path;
    // No FILE_SHARE_WRITE and no FILE_SHARE_DELETE: writers, renames and deletes fail while held.
    hold.m_file.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hold.m_file) hold.m_error = ::GetLastError();
    return hold;
}

bool PayloadHold::Holds(const std::wstring& path) const
{
    if (!IsHeld()) return false;
    zv::fw::CHandle other(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!other) return false;
    BY_HANDLE_FILE_INFORMATION held{}, named{};
    if (!FileIdentity(m_file.Get(), held) || !FileIdentity(other.Get(), named)) return false;
    return held.dwVolumeSerialNumber == named.dwVolumeSerialNumber && held.nFileIndexHigh == named.nFileIndexHigh &&
           held.nFileIndexLow == named.nFileIndexLow;
}

} // namespace zv
