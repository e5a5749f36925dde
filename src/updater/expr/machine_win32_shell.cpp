// Win32Machine: Windows Installer, windows and messages, environment, folders, locale.
#include "updater/expr/machine_win32.h"

#include "updater/transfer/path_helpers.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdlib>
#include <cwctype>

namespace zvexpr {

namespace {

// Windows Installer, bound by name at first use; msi.dll stays loaded for the process.
class MsiLibrary {
public:
    using MSIHANDLE = unsigned long;
    using CloseHandleFn = UINT(WINAPI*)(MSIHANDLE);
    using GetProductPropertyFn = UINT(WINAPI*)(MSIHANDLE, LPCWSTR, LPWSTR, LPDWORD);
    using OpenProductFn = UINT(WINAPI*)(LPCWSTR, MSIHANDLE*);
    using OpenPackageExFn = UINT(WINAPI*)(LPCWSTR, DWORD, MSIHANDLE*);

    static const MsiLibrary& Get()
    {
        static const MsiLibrary library;
        return library;
    }

    bool Usable() const { return closeHandle && getProductProperty && openProduct && openPackageEx; }

    CloseHandleFn closeHandle = nullptr;
    GetProductPropertyFn getProductProperty = nullptr;
    OpenProductFn openProduct = nullptr;
    OpenPackageExFn openPackageEx = nullptr;

private:
    MsiLibrary()
    {
        HMODULE msi = LoadLibraryW(L"msi.dll");
        if (!msi) return;
        closeHandle = Bind<CloseHandleFn>(msi, "MsiCloseHandle");
        getProductProperty = Bind<GetProductPropertyFn>(msi, "MsiGetProductPropertyW");
        openProduct = Bind<OpenProductFn>(msi, "MsiOpenProductW");
        openPackageEx = Bind<OpenPackageExFn>(msi, "MsiOpenPackageExW");
    }

    template <typename Fn>
    static Fn Bind(HMODULE module, const char* name)
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

// An open Windows Installer handle, closed on every path.
class MsiHandle {
public:
    MsiHandle() = default;
    ~MsiHandle()
    {
        if (m_handle) MsiLibrary::Get().closeHandle(m_handle);
    }
    MsiHandle(const MsiHandle&) = delete;
    MsiHandle& operator=(const MsiHandle&) = delete;
    MsiLibrary::MSIHANDLE* Put() { return &m_handle; }
    MsiLibrary::MSIHANDLE Get() const { return m_handle; }

private:
    MsiLibrary::MSIHANDLE m_handle = 0;
};

constexpr DWORD kMsiPropertyChars = 256;
constexpr DWORD kOpenPackageIgnoreMachineState = 1;

bool ReadProperty(const MsiHandle& handle, const wchar_t* name, std::wstring& out)
{
    wchar_t buffer[kMsiPropertyChars] = {};
    DWORD length = kMsiPropertyChars;
    if (MsiLibrary::Get().getProductProperty(handle.Get(), name, buffer, &length) != ERROR_SUCCESS) return false;
    out.assign(buffer, length < kMsiPropertyChars ? length : kMsiPropertyChars - 1);
    return true;
}

HWND ToWindow(uint64_t window)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}

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

bool Win32Machine::OpenInstalledProduct(const std::wstring& productCode, std::wstring& productVersion)
{
    const MsiLibrary& msi = MsiLibrary::Get();
    if (!msi.Usable()) return false;
    MsiHandle product;
    if (msi.openProduct(productCode.c_str(), product.Put()) != ERROR_SUCCESS) return false;
    if (!ReadProperty(product, L"ProductVersion", productVersion)) productVersion.clear();
    return true;
}

bool Win32Machine::ReadPackageProduct(const std::wstring& packagePath, std::wstring& productCode, std::wstring& productVersion)
{
    const MsiLibrary& msi = MsiLibrary::Get();
    if (!msi.Usable()) return false;
    wchar_t full[MAX_PATH + 1] = {};
    DWORD n = GetFullPathNameW(packagePath.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n > MAX_PATH) return false;
    MsiHandle package;
    if (msi.openPackageEx(full, kOpenPackageIgnoreMachineState, package.Put()) != ERROR_SUCCESS) return false;
    return ReadProperty(package, L"ProductCode", productCode) && ReadProperty(package, L"ProductVersion", productVersion);
}

uint64_t Win32Machine::FindTopLevelWindow(const std::wstring* className, const std::wstring* title)
{
    HWND w = FindWindowW(className ? className->c_str() : nullptr, title ? title->c_str() : nullptr);
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(w));
}

void Win32Machine::PostWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam)
{
    PostMessageW(ToWindow(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

void Win32Machine::SendWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam)
{
    // A hung receiver must not hang the updater: give up on it instead of waiting forever.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(ToWindow(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam), SMTO_ABORTIFHUNG,
                        30000, &ignored);
}

uint32_t Win32Machine::RegisterWindowMessageName(const std::wstring& name)
{
    return RegisterWindowMessageW(name.c_str());
}

void Win32Machine::ShowAlert(const std::wstring& text)
{
    MessageBoxW(nullptr, text.c_str(), L"Alert", MB_OK);
}

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

bool Win32Machine::GetRuntimeEnvironment(const std::wstring& name, std::wstring& value)
{
    const wchar_t* found = _wgetenv(name.c_str());
    if (!found) return false;
    value = found;
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

IMachine& PlatformMachine()
{
    static Win32Machine machine;
    return machine;
}

} // namespace zvexpr
