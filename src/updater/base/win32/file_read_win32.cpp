#include "updater/base/file_read.h"

#include <cstring>

namespace zv {

std::FILE* OpenFileForReading(const std::wstring& path)
{
    return _wfopen(path.c_str(), L"rb");
}

std::wstring RuntimeErrorText(int error)
{
    std::wstring text = _wcserror(error);
    size_t cut = text.find_first_of(L"\r\n");
    if (cut != std::wstring::npos) text.resize(cut);
    return text;
}

} // namespace zv
