#include "updater/core/payload_paths.h"

#include "updater/core/manifest_text.h"
#include "updater/base/text_helpers.h"

namespace zv::core {

namespace {
constexpr size_t kPathChars = 4096;
}

std::wstring UrlFileName(const std::wstring& url)
{
    std::wstring path = url.substr(0, url.find_first_of(L"?#"));
    size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsPlainFileName(const std::wstring& name)
{
    return name != L"." && name.find_first_of(L"\\/:") == std::wstring::npos && name.find(L"..") == std::wstring::npos;
}

void SplitFileName(const std::wstring& name, std::wstring& base, std::wstring& extension)
{
    size_t dot = name.rfind(L'.');
    base = dot == std::wstring::npos ? name : name.substr(0, dot);
    extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

std::wstring LocalPayloadPath(const std::wstring& tempDir, const std::wstring& productAbbr, int manifestId, const PayloadNames& names)
{
    // Joined by hand: a formatted path fills a buffer of the whole path limit for every item.
    std::wstring path;
    path.reserve(tempDir.size() + productAbbr.size() + names.url.size() + names.desiredMsiFilename.size() + names.destFilename.size() + 24);
    path += tempDir;
    path += L"zv\\";
    path += productAbbr;
    const std::wstring id = std::to_wstring(manifestId);
    if (!names.destFilename.empty()) {
        path += L'\\';
        path += id;
        path += L'\\';
        path += names.destFilename;
    } else {
        std::wstring desired = Trim(names.desiredMsiFilename);
        std::wstring base, extension;
        SplitFileName(desired.empty() ? UrlFileName(names.url) : desired, base, extension);
        if (!desired.empty()) {
            if (extension.empty()) extension = L"msi";
            path += L'\\';
            path += id;
            path += L'\\';
        } else {
            path += L'_';
            path += id;
            path += L'_';
        }
        path += base;
        path += L'.';
        path += extension;
    }
    // As long as a path may be: what fits is kept.
    if (path.size() > kPathChars - 1) path.resize(kPathChars - 1);
    return path;
}

} // namespace zv::core
