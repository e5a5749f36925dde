#include "updater/core/updater.h"

#include "updater/core/updater_imp.h"
#include "updater/config/config_params.h"
#include "updater/expr/machine.h"
#include "updater/base/text_helpers.h"

#include <new>
#include <utility>

std::wstring ZvLib_CUpdater::LibraryVersion()
{
    return zv::Format(32, L"%d.%d.%d", kVersionMajor, kVersionMinor, kVersionBuild);
}

ZvLib_CUpdater::ZvLib_CUpdater() : m_machine(zv::expr::ProcessMachine()) {}

ZvLib_CUpdater::ZvLib_CUpdater(zv::expr::IMachine& machine) : m_machine(machine) {}

ZvLib_CUpdater::ZvLib_CUpdater(std::wstring serverAddress)
    : m_machine(zv::expr::ProcessMachine()), m_serverAddress(std::move(serverAddress))
{
}

ZvLib_CUpdater::ZvLib_CUpdater(zv::expr::IMachine& machine, std::wstring serverAddress)
    : m_machine(machine), m_serverAddress(std::move(serverAddress))
{
}

std::wstring ZvLib_CUpdater::ServerAddressOf(const std::wstring& productConfigPath)
{
    ZvLib_CConfigParamsLoader config;
    if (!config.LoadConfigXml(productConfigPath, L"")) return {};
    std::wstring host = zv::Trim(config.payloadServerHost);
    if (host.empty()) return {};
    // The host may be written with its scheme and a trailing slash or without.
    if (host.find(L"://") == std::wstring::npos) host = L"http://" + host;
    if (host.back() != L'/') host += L'/';
    return host;
}

ZvLib_CUpdater::~ZvLib_CUpdater() = default;

int ZvLib_CUpdater::Initialize()
{
    if (imp) return 1;
    imp.reset(new (std::nothrow) CUpdaterImp(m_machine));
    if (!imp) return 0;
    return imp->Initialize(LibraryVersion());
}

void ZvLib_CUpdater::SetCancelEventName(const std::wstring& name)
{
    if (imp) imp->cancelEventName = name;
}

int ZvLib_CUpdater::CreateRequestGroupInfo(ZvLib_CRequestGroupInfo** out)
{
    if (!out) return 0;
    *out = nullptr;
    // Without an implementation there is no group to hand out: say so instead of
    // reporting success with the caller's pointer unset.
    if (!imp) return 0;
    *out = imp->CreateRequestGroupInfo();
    return 1;
}
