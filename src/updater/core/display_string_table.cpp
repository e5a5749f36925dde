#include "updater/core/display_string_table.h"

#include <algorithm>
#include <cstring>

namespace zv::core {

DisplayStringTable::DisplayStringTable(const DisplayStringTable& other)
{
    *this = other;
}

DisplayStringTable& DisplayStringTable::operator=(const DisplayStringTable& other)
{
    if (this == &other) return *this;
    clear();
    for (const Entry& e : other.m_entries)
        insert_or_assign(std::wstring_view(e.id, e.idLength), std::wstring_view(e.text, e.textLength));
    return *this;
}

uint32_t DisplayStringTable::Hash(std::wstring_view id)
{
    // Eight bytes a step with a multiply-xorshift mix, then a finishing mix so that the
    // low bits, which pick the slot, depend on every character.
    const auto* p = reinterpret_cast<const unsigned char*>(id.data());
    size_t n = id.size() * sizeof(wchar_t);
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    constexpr uint64_t k = 0xBF58476D1CE4E5B9ull;
    for (; n >= 8; n -= 8, p += 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * k;
        h ^= h >> 31;
    }
    if (n) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * k;
        h ^= h >> 31;
    }
    h ^= h >> 32;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    return static_cast<uint32_t>(h);
}

size_t DisplayStringTable::FindSlot(std::wstring_view id, uint32_t hash) const
{
    if (m_slots.empty()) return kEmpty;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = m_slots[i];
        if (s.entry == kEmpty) return i;
        if (s.hash != hash) continue;
        const Entry& e = m_entries[s.entry];
        if (e.idLength == id.size() && std::equal(id.begin(), id.end(), e.id)) return i;
    }
}

void DisplayStringTable::Grow()
{
    Rehash(m_slots.empty() ? 64 : m_slots.size() * 2);
}

void DisplayStringTable::reserve(size_t count)
{
    // The index stays at most half full (see insert_or_assign); beyond what an index of
    // 32-bit entry numbers holds, growth as needed decides.
    if (count >= kEmpty / 2) return;
    size_t slotCount = m_slots.empty() ? 64 : m_slots.size();
    while (slotCount < count * 2) slotCount *= 2;
    if (slotCount > m_slots.size()) Rehash(slotCount);
    m_entries.reserve(count);
}

void DisplayStringTable::Rehash(size_t slotCount)
{
    std::vector<Slot> slots(slotCount, Slot{0, kEmpty});
    const size_t mask = slots.size() - 1;
    for (const Slot& s : m_slots) {
        if (s.entry == kEmpty) continue;
        size_t i = s.hash & mask;
        while (slots[i].entry != kEmpty) i = (i + 1) & mask;
        slots[i] = s;
    }
    m_slots.swap(slots);
}

wchar_t* DisplayStringTable::Reserve(size_t count)
{
    if (count == 0) return m_free;
    if (count > kBlockChars / 4) {
        // A long text gets a block of its own; the open block stays open.
        m_blocks.push_back(std::make_unique_for_overwrite<wchar_t[]>(count));
        return m_blocks.back().get();
    }
    if (count > m_freeChars) {
        m_blocks.push_back(std::make_unique_for_overwrite<wchar_t[]>(kBlockChars));
        m_free = m_blocks.back().get();
        m_freeChars = kBlockChars;
    }
    wchar_t* at = m_free;
    m_free += count;
    m_freeChars -= count;
    return at;
}

void DisplayStringTable::insert_or_assign(std::wstring_view id, std::wstring_view text)
{
    if ((m_entries.size() + 1) * 2 > m_slots.size()) Grow();
    const uint32_t hash = Hash(id);
    const size_t slot = FindSlot(id, hash);
    if (m_slots[slot].entry != kEmpty) {
        // A repeated id: the new text wins; the old one stays unused in its block.
        Entry& e = m_entries[m_slots[slot].entry];
        wchar_t* at = Reserve(text.size());
        std::copy(text.begin(), text.end(), at);
        e.text = at;
        e.textLength = static_cast<uint32_t>(text.size());
        return;
    }
    // Id and text side by side: a lookup that compares the id reads the text's first line.
    wchar_t* at = Reserve(id.size() + text.size());
    std::copy(id.begin(), id.end(), at);
    std::copy(text.begin(), text.end(), at + id.size());
    m_slots[slot] = {hash, static_cast<uint32_t>(m_entries.size())};
    m_entries.push_back({at, at + id.size(), static_cast<uint32_t>(id.size()), static_cast<uint32_t>(text.size())});
}

bool DisplayStringTable::FindView(std::wstring_view id, std::wstring_view& text) const
{
    const size_t slot = FindSlot(id, Hash(id));
    if (slot == kEmpty || m_slots[slot].entry == kEmpty) return false;
    const Entry& e = m_entries[m_slots[slot].entry];
    text = std::wstring_view(e.text, e.textLength);
    return true;
}

bool DisplayStringTable::Find(std::wstring_view id, std::wstring& text) const
{
    std::wstring_view found;
    if (!FindView(id, found)) return false;
    text.assign(found);
    return true;
}

void DisplayStringTable::clear()
{
    m_blocks.clear();
    m_free = nullptr;
    m_freeChars = 0;
    m_entries.clear();
    m_slots.clear();
}

} // namespace zv::core
