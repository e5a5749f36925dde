// Win32Machine: Windows Installer products and packages.
#include "updater/expr/win32/machine_win32.h"

#include <windows.h>

namespace zv::expr {

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

} // namespace zv::expr
