#pragma once
// Where the skin's pictures live: the "Images" folder beside the executable.
#include <string>

namespace zv::skin {

// The folder and the file name joined with exactly one backslash.
std::wstring JoinPictureFolder(std::wstring folder, const std::wstring& fileName);
// The full path of a picture file for the running executable.
std::wstring PicturePath(const std::wstring& fileName);

} // namespace zv::skin
