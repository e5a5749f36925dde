// Win32Machine: environment, shell folders, program folder and UI language.
#include "updater/expr/win32/machine_win32.h"

#include "updater/base/win32/path_helpers.h"

#include <windows.h>

#include <shlobj.h>

#include <cwctype>

namespace zv::expr {

namespace {

std::wstring LocaleAbbreviation(LCID locale)
{
    wchar_t buffer[16] = {};
    if (!GetLocaleInfoW(locale, LOCALE_SABBREVLANGNAME, buffer, 16)) return std::wstring();
    std::wstring s = buffer;
    for (auto& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return s;
}

// EnumSystemLocalesW passes no context: the search runs one at a time under this lock.
struct LocaleSearch {
    std::wstring abbreviation;
    LANGID found = 0;
};
LocaleSearch* g_search = nullptr;
SRWLOCK g_searchLock = SRWLOCK_INIT;

BOOL CALLBACK OnLocale(LPWSTR text)
{
    LCID locale = static_cast<LCID>(wcstoul(text, nullptr, 16));
    if (LocaleAbbreviation(locale) != g_search->abbreviation) return TRUE;
    g_search->found = LANGIDFROMLCID(locale);
    return FALSE;
}

} // namespace

bool Win32Machine::GetEnvironment(const std::wstring& name, std::wstring& value)
{
    DWORD n = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (n == 0) return false;
    std::wstring buffer(n, L'\0');
    DWORD written = GetEnvironmentVariableW(name.c_str(), buffer.data(), n);
    if (written == 0 || written >= n) return false;
    buffer.resize(written);
    value = buffer;
    return true;
}

bool Win32Machine::GetSpecialFolder(int csidl, std::wstring& path, std::wstring& errorStep, long& errorCode)
{
    LPITEMIDLIST list = nullptr;
    HRESULT hr = SHGetSpecialFolderLocation(nullptr, csidl, &list);
    if (FAILED(hr) || !list) {
        errorStep = L"SHGetSpecialFolderLocation";
        errorCode = hr;
        return false;
    }
    wchar_t buffer[MAX_PATH + 1] = {};
    BOOL ok = SHGetPathFromIDListW(list, buffer);
    CoTaskMemFree(list);
    if (!ok) {
        errorStep = L"SHGetPathFromIDList";
        errorCode = static_cast<long>(GetLastError());
        return false;
    }
    path = buffer;
    return true;
}

std::wstring Win32Machine::ProgramDirectory()
{
    return GetModuleDirectory();
}

bool Win32Machine::GetUiLanguage(std::wstring& abbreviation, uint16_t& languageId)
{
    LANGID ui = GetSystemDefaultUILanguage();
    abbreviation = LocaleAbbreviation(MAKELCID(ui, SORT_DEFAULT));
    if (abbreviation.empty()) return false;
    // The id of the first supported locale with that abbreviation, else the UI language's.
    LocaleSearch search{abbreviation, 0};
    AcquireSRWLockExclusive(&g_searchLock);
    g_search = &search;
    EnumSystemLocalesW(OnLocale, LCID_SUPPORTED);
    g_search = nullptr;
    ReleaseSRWLockExclusive(&g_searchLock);
    languageId = search.found ? search.found : ui;
    return true;
}

} // namespace zv::expr
