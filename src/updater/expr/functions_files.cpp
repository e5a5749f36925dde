// Built-in functions about files, disks and Windows Installer products.
#include "updater/expr/functions.h"

#include "updater/expr/machine.h"
#include "updater/base/text_helpers.h"

namespace zv::expr {
namespace fn {

namespace {

int VersionOf(IMachine& machine, const std::wstring& path, CValue& result)
{
    uint16_t p[4] = {0, 0, 0, 0};
    if (!machine.GetFileVersion(path, p)) return 0;
    result = CValue::Text(zv::Format(64, L"%d.%d.%d.%d", p[0], p[1], p[2], p[3]));
    return 1;
}

} // namespace

int FileVer(ExprArgs& args, CValue& result, CExpression& expr)
{
    return VersionOf(expr.Machine(), args[0].AsText(), result);
}

int MSIVer(ExprArgs&, CValue& result, CExpression& expr)
{
    std::wstring system;
    if (!expr.Machine().GetSystemFolder(system)) return 0;
    return VersionOf(expr.Machine(), system + L"\\msi.dll", result);
}

int FileExists(ExprArgs& args, CValue& result, CExpression& expr)
{
    result = CValue::Int(expr.Machine().GetFileKind(args[0].AsText()) == FileKind::File ? 1 : 0);
    return 1;
}

int AvailableDiskSpace(ExprArgs& args, CValue& result, CExpression& expr)
{
    uint64_t bytes = 0;
    if (!expr.Machine().GetAvailableDiskBytes(args[0].AsText(), bytes)) bytes = 0;
    uint64_t mib = bytes / 1048576;
    result = CValue::UInt(mib > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(mib));
    return 1;
}

int MSIProductInstalled(ExprArgs& args, CValue& result, CExpression& expr)
{
    std::wstring version;
    result = CValue::Int(expr.Machine().OpenInstalledProduct(args[0].AsText(), version) ? 1 : 0);
    return 1;
}

int MSIPackageInstalled(ExprArgs& args, CValue& result, CExpression& expr)
{
    // Installed when the package's product is installed in the package's version.
    std::wstring code, packageVersion, installedVersion;
    bool installed = expr.Machine().ReadPackageProduct(args[0].AsText(), code, packageVersion) &&
                     expr.Machine().OpenInstalledProduct(code, installedVersion) && !installedVersion.empty() &&
                     installedVersion == packageVersion;
    result = CValue::Int(installed ? 1 : 0);
    return 1;
}

} // namespace fn
} // namespace zv::expr
