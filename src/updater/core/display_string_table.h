#pragma once
// The display strings of one language: upper-case id to text. A manifest brings thousands
// of them in every language, so ids and texts are kept in one character pool with a
// hashed index of offsets instead of two allocated texts and a node per string.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zv::core {

class DisplayStringTable {
public:
    // Adds the string, or replaces the text of an id already held.
    void insert_or_assign(std::wstring_view id, std::wstring_view text);
    // False when the id is not held; the id is compared exactly.
    bool Find(std::wstring_view id, std::wstring& text) const;
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    void clear();

private:
    struct Entry {
        size_t idAt, idLength, textAt, textLength;
        size_t hash; // of the id: growing needs no rehash, and a probe compares ids only on equal hashes
    };
    static constexpr uint32_t kEmpty = UINT32_MAX;
    static size_t Hash(std::wstring_view id);
    std::wstring_view IdOf(const Entry& e) const { return std::wstring_view(m_pool).substr(e.idAt, e.idLength); }
    // The slot holding id (whose hash is given), or the empty slot where it would go;
    // kEmpty when there are no slots.
    size_t Slot(std::wstring_view id, size_t hash) const;
    void Grow();

    std::wstring m_pool;
    std::vector<Entry> m_entries;
    std::vector<uint32_t> m_slots; // entry numbers; a power of two in size, at most half full
};

} // namespace zv::core
