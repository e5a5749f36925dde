// Win32Machine: files, volumes and file versions.
#include "updater/expr/win32/machine_win32.h"

#include <windows.h>

#include <vector>

namespace zv::expr {

FileKind Win32Machine::GetFileKind(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Directory : FileKind::File;
}

bool Win32Machine::GetFileVersion(const std::wstring& path, uint16_t parts[4])
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info || length < sizeof *info) return false;
    parts[0] = HIWORD(info->dwFileVersionMS);
    parts[1] = LOWORD(info->dwFileVersionMS);
    parts[2] = HIWORD(info->dwFileVersionLS);
    parts[3] = LOWORD(info->dwFileVersionLS);
    return true;
}

bool Win32Machine::GetAvailableDiskBytes(const std::wstring& path, uint64_t& bytes)
{
    // The volume that holds the path, even when the path itself does not exist yet.
    wchar_t volume[MAX_PATH + 1] = {};
    std::wstring where = GetVolumePathNameW(path.c_str(), volume, MAX_PATH) ? std::wstring(volume) : path;
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(where.c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
}

bool Win32Machine::GetSystemFolder(std::wstring& out)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return false;
    out.assign(buffer, n);
    return true;
}

} // namespace zv::expr
