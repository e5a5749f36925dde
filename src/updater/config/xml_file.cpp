#include "updater/config/xml_file.h"

#include "updater/transfer/text_helpers.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zv::xml {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::FILE* OpenForReading(const std::wstring& path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"rb");
#else
    return std::fopen(zv::ToUtf8(path).c_str(), "rb");
#endif
}

std::wstring RuntimeErrorText(int error)
{
#ifdef _WIN32
    std::wstring text = _wcserror(error);
#else
    std::wstring text = zv::FromUtf8(std::strerror(error));
#endif
    size_t cut = text.find_first_of(L"\r\n");
    if (cut != std::wstring::npos) text.resize(cut);
    return text;
}

} // namespace

bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes, std::wstring& error)
{
    bytes.clear();
    errno = 0;
    FilePtr file(path.empty() ? nullptr : OpenForReading(path));
    if (!file) {
        error = RuntimeErrorText(errno ? errno : ENOENT);
        return false;
    }
    char buffer[65536];
    for (;;) {
        size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        if (n > maxBytes - bytes.size()) {
            error = L"File too large";
            bytes.clear();
            return false;
        }
        bytes.append(buffer, n);
        if (n < sizeof buffer) break;
    }
    if (std::ferror(file.get())) {
        error = RuntimeErrorText(errno ? errno : EIO);
        bytes.clear();
        return false;
    }
    return true;
}

} // namespace zv::xml
