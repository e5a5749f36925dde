#pragma once
// The display strings of one language: upper-case id to text. A manifest brings thousands
// of them in every language, so ids and texts are kept in blocks of characters with a
// hashed index instead of two allocated texts and a node per string. The blocks never
// move, so a text found stays where it is until the table is cleared or goes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zv::core {

class DisplayStringTable {
public:
    DisplayStringTable() = default;
    DisplayStringTable(const DisplayStringTable& other);
    DisplayStringTable& operator=(const DisplayStringTable& other);
    DisplayStringTable(DisplayStringTable&&) noexcept = default;
    DisplayStringTable& operator=(DisplayStringTable&&) noexcept = default;

    // Adds the string, or replaces the text of an id already held.
    void insert_or_assign(std::wstring_view id, std::wstring_view text);
    // False when the id is not held; the id is compared exactly.
    bool Find(std::wstring_view id, std::wstring& text) const;
    // The same without a copy: text views the table's own characters, which stay valid
    // until clear() or the table's end (later additions do not move them).
    bool FindView(std::wstring_view id, std::wstring_view& text) const;
    // Room for count strings in all, so that adding up to that many does not rehash.
    void reserve(size_t count);
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    void clear();

private:
    struct Entry {
        const wchar_t* id;
        const wchar_t* text;
        uint32_t idLength, textLength;
    };
    // The full hash beside the entry number: a probe reads an entry only on equal hashes.
    struct Slot {
        uint32_t hash;
        uint32_t entry;
    };
    static constexpr uint32_t kEmpty = UINT32_MAX;
    static constexpr size_t kBlockChars = 16 * 1024;
    static uint32_t Hash(std::wstring_view id);
    // The slot holding id, or the empty slot where it would go; kEmpty when there are no
    // slots.
    size_t FindSlot(std::wstring_view id, uint32_t hash) const;
    void Grow();
    // The index rebuilt with slotCount slots, a power of two above twice the entries.
    void Rehash(size_t slotCount);
    // Room for count characters that never moves.
    wchar_t* Reserve(size_t count);

    std::vector<std::unique_ptr<wchar_t[]>> m_blocks;
    wchar_t* m_free = nullptr; // in the last ordinary block
    size_t m_freeChars = 0;
    std::vector<Entry> m_entries;
    std::vector<Slot> m_slots; // a power of two in size, at most half full
};

} // namespace zv::core
