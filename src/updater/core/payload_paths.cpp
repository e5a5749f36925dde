#include "updater/core/payload_paths.h"

#include "updater/core/manifest_text.h"
#include "updater/base/text_helpers.h"

#include <string_view>

using namespace std::string_view_literals;

namespace zv::core {

namespace {

constexpr size_t kPathChars = 4096;

} // namespace

// Views, so that a path is built with no text but the path itself: this runs for every
// item of a manifest.
std::wstring_view UrlFileNameView(std::wstring_view url)
{
    // One walk: the file name starts after the last "/" before any "?" or "#" (a search
    // for either character costs a library search per character).
    size_t start = 0, end = 0;
    for (; end < url.size(); ++end) {
        const wchar_t c = url[end];
        if (c == L'?' || c == L'#') break;
        if (c == L'/') start = end + 1;
    }
    return url.substr(start, end - start);
}

std::wstring UrlFileName(std::wstring_view url)
{
    return std::wstring(UrlFileNameView(url));
}

bool IsPlainFileName(std::wstring_view name)
{
    if (name == L"."sv) return false;
    // One pass: no separator, no drive colon, no two dots in a row.
    wchar_t previous = 0;
    for (wchar_t c : name) {
        if (c == L'\\' || c == L'/' || c == L':' || (c == L'.' && previous == L'.')) return false;
        previous = c;
    }
    return true;
}

void SplitFileName(const std::wstring& name, std::wstring& base, std::wstring& extension)
{
    size_t dot = name.rfind(L'.');
    base = dot == std::wstring::npos ? name : name.substr(0, dot);
    extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

std::wstring LocalPayloadPath(const std::wstring& tempDir, const std::wstring& productAbbr, int manifestId, const PayloadNames& names)
{
    std::wstring path;
    LocalPayloadPath(tempDir, productAbbr, manifestId, names, path);
    return path;
}

void LocalPayloadPath(const std::wstring& tempDir, const std::wstring& productAbbr, int manifestId, const PayloadNames& names, std::wstring& path)
{
    // Joined by hand: a formatted path fills a buffer of the whole path limit for every item.
    path.clear();
    path.reserve(tempDir.size() + productAbbr.size() + names.url.size() + names.desiredMsiFilename.size() + names.destFilename.size() + 32);
    path += tempDir;
    path += L"zv\\"sv;
    path += productAbbr;
    // The id in decimal, written from the end.
    wchar_t digits[16];
    size_t first = sizeof digits / sizeof digits[0];
    unsigned long long magnitude = manifestId < 0 ? 0ull - static_cast<unsigned long long>(static_cast<long long>(manifestId)) : static_cast<unsigned long long>(manifestId);
    do {
        digits[--first] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (manifestId < 0) digits[--first] = L'-';
    const std::wstring_view id(digits + first, sizeof digits / sizeof digits[0] - first);
    if (!names.destFilename.empty()) {
        path += L'\\';
        path += id;
        path += L'\\';
        path += names.destFilename;
    } else {
        const std::wstring_view desired = TrimView(names.desiredMsiFilename);
        const std::wstring_view name = desired.empty() ? UrlFileNameView(names.url) : desired;
        const size_t dot = name.rfind(L'.');
        const std::wstring_view base = dot == std::wstring_view::npos ? name : name.substr(0, dot);
        std::wstring_view extension = dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot + 1);
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
}

} // namespace zv::core
