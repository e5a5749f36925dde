// A probe for the Windows tests: evaluates each argument after the first with the real
// machine and writes "KIND TEXT" lines (or "error NAME") to the file named first. It
// carries a version resource (1.2.3.4) for FileVer and a manifest that declares
// Windows 8.1 and 10, so that Wine reports those versions to it unchanged.
#include "updater/expr/zv_expr.h"
#include "updater/base/text_helpers.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 2;
    FILE* out = _wfopen(argv[1], L"wb");
    if (!out) return 3;
    for (int i = 2; i < argc; ++i) {
        ZVExpr e(argv[i]);
        com_quorvane_value::CValue v;
        std::wstring line = e.Evaluate(v) ? std::wstring(com_quorvane_value::KindName(v.Kind())) + L" " + v.AsText()
                                          : std::wstring(L"error ") + zv::expr::ExprErrorName(e.GetErrorCode());
        std::string bytes = zv::ToUtf8(line + L"\n");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
    }
    std::fclose(out);
    return 0;
}
