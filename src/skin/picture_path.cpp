#include "skin/picture_path.h"

#include "updater/base/win32/path_helpers.h"

namespace zv::skin {

std::wstring JoinPictureFolder(std::wstring folder, const std::wstring& fileName)
{
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    std::wstring name = fileName;
    if (!name.empty() && name.front() == L'\\') name.erase(0, 1);
    return folder + L"\\" + name;
}

std::wstring PicturePath(const std::wstring& fileName)
{
    std::wstring dir = zv::ModulePath();
    // Drive and directory: everything up to and including the last backslash.
    size_t slash = dir.find_last_of(L"\\/");
    dir = slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
    return JoinPictureFolder(dir + L"Images\\", fileName);
}

} // namespace zv::skin
