#include "selection_lines.h"

#include "command.h"

#include "updater/base/log.h"
#include "updater/base/text_helpers.h"
#include "updater/core/updater_imp.h"
#include "updater/expr/zv_expr.h"

#include <cstdio>
#include <vector>

namespace zv::tool {

namespace {

void EchoToStderr(const wchar_t* line)
{
    std::wstring text(line);
    if (text.empty() || text.back() != L'\n') text += L'\n';
    Err(text);
}

} // namespace

std::wstring SelectionLines(CUpdaterImp& imp)
{
    std::vector<ZvLib_CItemBase*> selected;
    imp.GetListOfSelectedInstallables(selected);
    std::wstring out;
    for (const ZvLib_CItemBase* item : selected)
        out += zv::Format(4096, L"selected %d %s %s\n", item->manifestId, item->componentName.c_str(), item->componentVersion.c_str());
    return out.empty() ? L"selected none\n" : out;
}

void TraceToStderr(int level)
{
    // The level asked for here, not the one of the shared configuration file.
    zv::Log().EnsureInitialised();
    zv::Log().SetLevel(level);
    if (level > 0) {
        zv::Log().Enable();
        zv::Log().SetEcho(EchoToStderr);
    }
    // Descriptions of unexpected tokens go with the diagnostics, not the result lines.
    CExpression::SetDiagnosticStream(stderr);
}

void StopTrace()
{
    zv::Log().SetEcho(nullptr);
}

} // namespace zv::tool
