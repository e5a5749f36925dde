// Win32Machine: Windows Installer products and packages.
#include "updater/expr/win32/machine_win32.h"

#include "framework/handle.h"

#include <windows.h>

namespace zv::expr {

namespace {

// Windows Installer, bound by name at first use; msi.dll stays loaded for the process.
class MsiLibrary {
public:
    using MSIHANDLE = unsigned long;
    using GetProductPropertyFn = UINT(WINAPI*)(MSIHANDLE, LPCWSTR, LPWSTR, LPDWORD);
    using OpenProductFn = UINT(WINAPI*)(LPCWSTR, MSIHANDLE*);
    using OpenPackageExFn = UINT(WINAPI*)(LPCWSTR, DWORD, MSIHANDLE*);

    static const MsiLibrary& Get()
    {
        static const MsiLibrary library;
        return library;
    }

    bool Usable() const { return module && getProductProperty && openProduct && openPackageEx; }

    HMODULE module = nullptr;
    GetProductPropertyFn getProductProperty = nullptr;
    OpenProductFn openProduct = nullptr;
    OpenPackageExFn openPackageEx = nullptr;

private:
    MsiLibrary()
    {
        HMODULE msi = LoadLibraryW(L"msi.dll");
        if (!msi) return;
        module = msi;
        getProductProperty = Bind<GetProductPropertyFn>(msi, "MsiGetProductPropertyW");
        openProduct = Bind<OpenProductFn>(msi, "MsiOpenProductW");
        openPackageEx = Bind<OpenPackageExFn>(msi, "MsiOpenPackageExW");
    }

public:
    template <typename Fn>
    static Fn Bind(HMODULE from, const char* name)
    {
        return from ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(from, name))) : nullptr;
    }
};

// An open Windows Installer handle, closed on every path. Only handles that the open
// calls filled in exist, so msi.dll is loaded whenever one is closed.
struct MsiHandleTraits {
    using Handle = MsiLibrary::MSIHANDLE;
    using CloseFn = UINT(WINAPI*)(Handle);
    static Handle Invalid() noexcept { return 0; }
    static bool IsValid(Handle h) noexcept { return h != 0; }
    static void Close(Handle h) noexcept
    {
        static const CloseFn close = MsiLibrary::Bind<CloseFn>(MsiLibrary::Get().module, "MsiCloseHandle");
        if (close) close(h);
    }
};
using MsiHandle = zv::fw::UniqueHandle<MsiHandleTraits>;

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
