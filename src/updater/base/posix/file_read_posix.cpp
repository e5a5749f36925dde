#include "updater/base/file_read.h"

#include "updater/base/text_helpers.h"

#include <cstring>

namespace zv {

std::FILE* OpenFileForReading(const std::wstring& path)
{
    return std::fopen(ToUtf8(path).c_str(), "rb");
}

std::wstring RuntimeErrorText(int error)
{
    std::wstring text = FromUtf8(std::strerror(error));
    size_t cut = text.find_first_of(L"\r\n");
    if (cut != std::wstring::npos) text.resize(cut);
    return text;
}

} // namespace zv
