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
    if (!names.destFilename.empty())
        return zv::Format(kPathChars, L"%szv\\%s\\%d\\%s", tempDir.c_str(), productAbbr.c_str(), manifestId, names.destFilename.c_str());
    std::wstring desired = Trim(names.desiredMsiFilename);
    std::wstring base, extension;
    SplitFileName(desired.empty() ? UrlFileName(names.url) : desired, base, extension);
    if (!desired.empty()) {
        if (extension.empty()) extension = L"msi";
        return zv::Format(kPathChars, L"%szv\\%s\\%d\\%s.%s", tempDir.c_str(), productAbbr.c_str(), manifestId, base.c_str(), extension.c_str());
    }
    return zv::Format(kPathChars, L"%szv\\%s_%d_%s.%s", tempDir.c_str(), productAbbr.c_str(), manifestId, base.c_str(), extension.c_str());
}

} // namespace zv::core
