#include "updater/base/file_read.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zv {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes, std::wstring& error)
{
    bytes.clear();
    errno = 0;
    FilePtr file(path.empty() ? nullptr : OpenFileForReading(path));
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

} // namespace zv
