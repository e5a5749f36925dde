// The edit gap of the XML reader. Edits land where the gap is; the text behind it and
// the records starting there keep their buffer offsets, so only what the gap passes
// over moves. Localising a document edits it front to back: each character and record
// moves about once for the whole run.
#include "updater/config/xml_document.h"

#include <algorithm>
#include <cstring>

const wchar_t* CXmlDocument::CharsAcrossGap(size_t from, size_t to) const
{
    // The gap lies inside the range: move it to the nearer end.
    MoveGap(to - m_gapAt <= m_gapAt - from ? to : from);
    return to <= m_gapAt ? m_text.data() : m_text.data() + m_gapLen;
}

void CXmlDocument::ShiftRecords(size_t from, size_t to, size_t delta) const
{
    if (from >= to) return;
    auto d = static_cast<uint32_t>(delta); // modular: adding it subtracts when negative
    // Parsed records are in buffer order by index.
    auto begin = m_elems.begin() + 1, end = m_elems.begin() + m_parsedCount;
    auto lo = std::lower_bound(begin, end, from, [](const ElemRec& r, size_t v) { return r.start < v; });
    for (auto it = lo; it != end && it->start < to; ++it) {
        it->start += d;
        ++m_work.movedRecords;
    }
    auto ilo = std::lower_bound(m_inserted.begin(), m_inserted.end(), from,
                                [this](uint32_t e, size_t v) { return m_elems[e].start < v; });
    for (auto it = ilo; it != m_inserted.end() && m_elems[*it].start < to; ++it) {
        m_elems[*it].start += d;
        ++m_work.movedRecords;
    }
}

void CXmlDocument::MoveGap(size_t to) const
{
    if (!m_gapLen) {
        m_gapAt = to; // an empty gap moves for free
        return;
    }
    wchar_t* b = m_text.data();
    if (to < m_gapAt) {
        // [to, gapAt) goes behind the gap.
        size_t n = m_gapAt - to;
        std::memmove(b + to + m_gapLen, b + to, n * sizeof(wchar_t));
        ShiftRecords(to, m_gapAt, m_gapLen);
        m_work.movedChars += n;
    } else if (to > m_gapAt) {
        // [gapAt, to) of the text, behind the gap in the buffer, comes before it.
        size_t n = to - m_gapAt;
        std::memmove(b + m_gapAt, b + m_gapAt + m_gapLen, n * sizeof(wchar_t));
        ShiftRecords(m_gapAt + m_gapLen, to + m_gapLen, 0 - m_gapLen);
        m_work.movedChars += n;
    }
    m_gapAt = to;
}

bool CXmlDocument::WidenGap(size_t count)
{
    if (m_gapLen >= count) return true;
    // Geometric growth keeps the moves of a run of insertions linear; buffer offsets
    // stay within 32 bits.
    size_t size = TextSize();
    size_t extra = std::max(count - m_gapLen, size / 2 + 64);
    if (m_text.size() + extra > UINT32_MAX) extra = count - m_gapLen;
    if (m_text.size() + extra > UINT32_MAX) return false;
    size_t oldEnd = m_text.size();
    size_t tail = oldEnd - (m_gapAt + m_gapLen);
    m_text.resize(oldEnd + extra);
    wchar_t* b = m_text.data();
    std::memmove(b + m_gapAt + m_gapLen + extra, b + m_gapAt + m_gapLen, tail * sizeof(wchar_t));
    ShiftRecords(m_gapAt + m_gapLen, oldEnd, extra);
    m_work.movedChars += tail;
    m_gapLen += extra;
    return true;
}

const std::wstring& CXmlDocument::GetDocumentText() const
{
    if (m_gapLen) {
        MoveGap(TextSize());
        m_text.resize(m_gapAt);
        m_gapLen = 0;
        m_gapAt = kNoGap;
    }
    return m_text;
}
