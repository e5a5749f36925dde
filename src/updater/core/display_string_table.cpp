#include "updater/core/display_string_table.h"

namespace zv::core {

size_t DisplayStringTable::Hash(std::wstring_view id)
{
    // FNV-1a over the characters.
    uint64_t h = 1469598103934665603ull;
    for (wchar_t c : id) {
        h ^= static_cast<uint64_t>(static_cast<uint32_t>(c));
        h *= 1099511628211ull;
    }
    return static_cast<size_t>(h ^ (h >> 32));
}

size_t DisplayStringTable::Slot(std::wstring_view id, size_t hash) const
{
    if (m_slots.empty()) return kEmpty;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        if (m_slots[i] == kEmpty) return i;
        const Entry& e = m_entries[m_slots[i]];
        if (e.hash == hash && IdOf(e) == id) return i;
    }
}

void DisplayStringTable::Grow()
{
    std::vector<uint32_t> slots(m_slots.empty() ? 64 : m_slots.size() * 2, kEmpty);
    const size_t mask = slots.size() - 1;
    for (uint32_t n = 0; n < m_entries.size(); ++n) {
        size_t i = m_entries[n].hash & mask;
        while (slots[i] != kEmpty) i = (i + 1) & mask;
        slots[i] = n;
    }
    m_slots.swap(slots);
}

void DisplayStringTable::insert_or_assign(std::wstring_view id, std::wstring_view text)
{
    if ((m_entries.size() + 1) * 2 > m_slots.size()) Grow();
    const size_t hash = Hash(id);
    const size_t slot = Slot(id, hash);
    const size_t textAt = m_pool.size();
    if (m_slots[slot] != kEmpty) {
        // A repeated id: the new text wins; the old one stays unused in the pool.
        m_pool.append(text);
        m_entries[m_slots[slot]].textAt = textAt;
        m_entries[m_slots[slot]].textLength = text.size();
        return;
    }
    m_pool.append(text);
    const size_t idAt = m_pool.size();
    m_pool.append(id);
    m_slots[slot] = static_cast<uint32_t>(m_entries.size());
    m_entries.push_back({idAt, id.size(), textAt, text.size(), hash});
}

bool DisplayStringTable::Find(std::wstring_view id, std::wstring& text) const
{
    const size_t slot = Slot(id, Hash(id));
    if (slot == kEmpty || m_slots[slot] == kEmpty) return false;
    const Entry& e = m_entries[m_slots[slot]];
    text.assign(m_pool, e.textAt, e.textLength);
    return true;
}

void DisplayStringTable::clear()
{
    m_pool.clear();
    m_entries.clear();
    m_slots.clear();
}

} // namespace zv::core
