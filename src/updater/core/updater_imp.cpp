#include "updater/core/updater_imp.h"
#include "updater/core/held_variables.h"
#include "updater/core/literal_macros.h"

#include "updater/expr/machine.h"
#include "updater/expr/seed_variables.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

#include <algorithm>

using com_quorvane_value::CValue;

CUpdaterImp::CUpdaterImp(zv::expr::IMachine& machine) : evaluator(machine), m_machine(machine)
{
    Reset();
}

CUpdaterImp::~CUpdaterImp()
{
    Reset();
}

void CUpdaterImp::Reset()
{
    if (m_held) m_held->copied = false;
    tempDir.clear();
    initialised = 0;
    items.clear();
    m_itemTexts.release();
    dialogs.clear();
    requirements.clear();
    eventStrings.clear();
    langStrings.clear();
    requestGroups.clear();
    variables.clear();
}

int CUpdaterImp::Initialize(const std::wstring& libVersion)
{
    zv::Log().EnsureInitialised();
    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ****** LibVersion: '%s'\n", libVersion.c_str());

    bool tempOk = false;
    tempDir = zv::expr::TempDirectory(m_machine, tempOk);
    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ****** Using temp directory '%s'\n", tempDir.c_str());

    publicKeyPath = m_machine.ProgramDirectory() + L"\\quorkey.pub";
    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ****** Using public key file '%s' if resource option is not available\n", publicKeyPath.c_str());

    if (m_held) m_held->copied = false;
    zv::expr::SeedUpdaterVariables(m_machine, tempDir, variables);

    initialised = tempOk ? 1 : 0;
    return initialised;
}

ZvLib_CRequestGroupInfo* CUpdaterImp::CreateRequestGroupInfo()
{
    int largest = kRequestGroupIdBase;
    for (const auto& g : requestGroups) largest = std::max(largest, g->id);
    auto group = std::make_unique<ZvLib_CRequestGroupInfo>();
    group->id = largest + 1;
    group->config.requestGroupId = group->id;
    requestGroups.push_back(std::move(group));
    return requestGroups.back().get();
}

ZvLib_CRequestGroupInfo* CUpdaterImp::FindRequestGroupInfo(int id) const
{
    for (const auto& g : requestGroups)
        if (g->id == id) return g.get();
    return nullptr;
}

std::wstring CUpdaterImp::Lang(int requestGroupId) const
{
    const ZvLib_CRequestGroupInfo* group = FindRequestGroupInfo(requestGroupId);
    if (!group) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR from CUpdaterImp::Lang(): Rgi not found, iIdOfRequestGroupInfo: %d\n", requestGroupId);
        return std::wstring();
    }
    return group->config.language;
}

void CUpdaterImp::SetVariable(const std::wstring& name, const CValue& value)
{
    if (m_held) m_held->copied = false;
    zv::expr::SetTableVariable(variables, name, value);
}

void CUpdaterImp::CopyVariablesToEvaluator()
{
    if (m_held && m_held->copied && m_held->writes == evaluator.TableWrites()) return;
    evaluator.CopyVariables(variables);
    if (m_held) {
        m_held->copied = true;
        m_held->writes = evaluator.TableWrites();
    }
}

namespace {

// A text that is one string literal with no macro and no doubled quote in it evaluates
// to its characters, whatever the variables: most manifest texts are such.
bool IsPlainLiteral(const std::wstring& text)
{
    if (text.size() < 2 || text.front() != L'"' || text.back() != L'"') return false;
    // One pass over the characters: find_first_of asks wmemchr about each of them.
    const auto inner = std::wstring_view(text).substr(1, text.size() - 2);
    constexpr uint64_t kNotPlain = zv::LowAsciiSet(L"\"<%");
    return std::none_of(inner.begin(), inner.end(), [](wchar_t c) { return zv::InLowAsciiSet(c, kNotPlain); });
}

} // namespace

int CUpdaterImp::EvaluateToText(const std::wstring& expression, std::wstring& out)
{
    if (IsPlainLiteral(expression)) {
        out.assign(expression, 1, expression.size() - 2);
        return 1;
    }
    CopyVariablesToEvaluator();
    if (const std::wstring* expanded = zv::core::ExpandLiteralMacros(evaluator, expression, m_held ? &m_held->expanded : nullptr)) {
        out.assign(*expanded);
        return 1;
    }
    return zv::expr::EvaluateToText(evaluator, expression, out) ? 1 : 0;
}

int CUpdaterImp::EvaluateToText(const std::wstring& expression, std::pmr::wstring& out)
{
    // Into the item's own storage through a buffer kept between calls.
    thread_local std::wstring text;
    const int evaluated = EvaluateToText(expression, text);
    out.assign(text.data(), text.size());
    return evaluated;
}

ZvLib_CItemBase* CUpdaterImp::AddItem(std::unique_ptr<ZvLib_CItemBase> item)
{
    item->internalId = ++m_largestInternalId;
    items.push_back(std::move(item));
    return items.back().get();
}
