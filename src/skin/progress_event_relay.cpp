#include "skin/progress_event_relay.h"

#include <memory>
#include <vector>

namespace zv::skin {

namespace {
std::mutex g_relaysLock;
std::vector<std::unique_ptr<CProgressEventRelay>>& Relays()
{
    static std::vector<std::unique_ptr<CProgressEventRelay>> relays;
    return relays;
}
} // namespace

CProgressEventRelay* CProgressEventRelay::Attach(HWND target)
{
    std::lock_guard<std::mutex> lock(g_relaysLock);
    Relays().emplace_back(new CProgressEventRelay(target));
    return Relays().back().get();
}

void CProgressEventRelay::Detach() noexcept
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_hTarget = nullptr;
}

void CProgressEventRelay::Post(UpdaterEvent event, int value) noexcept
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_hTarget) ::PostMessageW(m_hTarget, kMsgUpdaterEvent, static_cast<WPARAM>(event), value);
}

} // namespace zv::skin
