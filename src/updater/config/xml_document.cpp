// Cursor movement and reading of the XML reader.
#include "updater/config/xml_document.h"

#include "updater/config/xml_scanner.h"
#include "updater/config/xml_text.h"
#include "updater/base/text_helpers.h"

#include <algorithm>
#include <cwchar>

void CXmlDocument::ResetPosition()
{
    m_pos = Position();
    m_node = Node();
}

std::wstring_view CXmlDocument::ElementName(uint32_t elem) const
{
    size_t from = Start(elem) + 1;
    size_t len = m_elems[elem].nameLen;
    return std::wstring_view(Chars(from, from + len) + from, len);
}

bool CXmlDocument::NameEquals(uint32_t elem, const wchar_t* name, size_t len) const
{
    if (m_elems[elem].nameLen != len) return false;
    size_t from = Start(elem) + 1;
    return zv::xml::SameChars(Chars(from, from + len) + from, name, len);
}

bool CXmlDocument::NameIs(uint32_t elem, const wchar_t* name) const
{
    return !name || !*name || NameEquals(elem, name, std::wcslen(name));
}

uint32_t CXmlDocument::NextMatching(uint32_t from, const wchar_t* name) const
{
    if (!name || !*name) return from;
    // Measured once for the walk, not once per sibling.
    const size_t len = std::wcslen(name);
    for (uint32_t e = from; e; e = m_elems[e].next)
        if (NameEquals(e, name, len)) return e;
    return 0;
}

bool CXmlDocument::FindElement(const wchar_t* name)
{
    uint32_t from = m_pos.main ? m_elems[m_pos.main].next : m_elems[m_pos.parent].firstChild;
    uint32_t found = NextMatching(from, name);
    if (!found) return false;
    m_pos.main = found;
    m_pos.child = 0;
    m_node = Node();
    return true;
}

bool CXmlDocument::FindChildElement(const wchar_t* name)
{
    if (!m_pos.main && !FindElement(nullptr)) return false;
    uint32_t from = m_pos.child ? m_elems[m_pos.child].next : m_elems[m_pos.main].firstChild;
    uint32_t found = NextMatching(from, name);
    if (!found) return false;
    m_pos.child = found;
    return true;
}

bool CXmlDocument::EnterElement()
{
    if (!m_pos.main) return false;
    m_pos.parent = m_pos.main;
    m_pos.main = m_pos.child;
    m_pos.child = 0;
    m_node = Node();
    return true;
}

bool CXmlDocument::LeaveElement()
{
    if (!m_pos.parent) return false;
    m_pos.child = m_pos.main;
    m_pos.main = m_pos.parent;
    m_pos.parent = m_elems[m_pos.parent].parent;
    m_node = Node();
    return true;
}

CXmlDocument::Position* CXmlDocument::FindSaved(const wchar_t* name)
{
    for (SavedPosition& saved : m_saved) {
        const std::wstring& n = saved.name;
        size_t i = 0;
        while (i < n.size() && name[i] == n[i]) ++i;
        if (i == n.size() && name[i] == L'\0') return &saved.pos;
    }
    return nullptr;
}

bool CXmlDocument::SavePosition(const wchar_t* name)
{
    if (!name) return false;
    if (Position* saved = FindSaved(name)) *saved = m_pos;
    else m_saved.push_back({name, m_pos});
    return true;
}

bool CXmlDocument::RestorePosition(const wchar_t* name)
{
    if (!name) return false;
    const Position* saved = FindSaved(name);
    if (!saved) return false;
    m_pos = *saved;
    m_node = Node();
    return true;
}

void CXmlDocument::GoToMark(const Mark& mark)
{
    // A mark from another document must not index past this one's records.
    const size_t count = m_elems.size();
    if (mark.parent >= count || mark.main >= count || mark.child >= count) return;
    m_pos = {.parent = mark.parent, .child = mark.child, .main = mark.main};
    m_node = Node();
}

std::wstring_view CXmlDocument::ChildNameView() const
{
    return m_pos.child ? ElementName(m_pos.child) : std::wstring_view();
}

std::wstring_view CXmlDocument::AttributeTextView() const
{
    if (m_node.kind != XML_NODE_NONE || !m_pos.main) return {};
    const ElemRec& r = m_elems[m_pos.main];
    // The same span the attribute scan reads.
    const size_t from = Start(m_pos.main) + 1 + r.nameLen;
    const size_t to = Start(m_pos.main) + r.startTagLen - 1;
    if (from >= to) return {};
    return std::wstring_view(Chars(from, to) + from, to - from);
}

std::wstring CXmlDocument::GetName() const
{
    std::wstring out;
    GetName(out);
    return out;
}

void CXmlDocument::GetName(std::wstring& out) const
{
    out.clear();
    const wchar_t* t = Chars(m_node.offset, m_node.offset + m_node.length);
    switch (m_node.kind) {
    case XML_NODE_NONE:
        if (m_pos.main) out.assign(ElementName(m_pos.main));
        return;
    case XML_NODE_TEXT:
    case XML_NODE_WHITESPACE:
        out = L"#text";
        return;
    case XML_NODE_CDATA_SECTION:
        out = L"#cdata-section";
        return;
    case XML_NODE_COMMENT:
        out = L"#comment";
        return;
    case XML_NODE_PROCESSING_INSTRUCTION:
    case XML_NODE_DOCUMENT_TYPE: {
        size_t i = m_node.offset + 2;
        size_t end = m_node.offset + m_node.length;
        if (m_node.kind == XML_NODE_DOCUMENT_TYPE) {
            // Past the keyword to the name.
            while (i < end && !zv::xml::IsXmlSpace(t[i]) && t[i] != L'>' && t[i] != L'[') ++i;
            while (i < end && zv::xml::IsXmlSpace(t[i])) ++i;
        }
        size_t from = i;
        while (i < end && !zv::xml::IsXmlSpace(t[i]) && t[i] != L'?' && t[i] != L'>' && t[i] != L'[') ++i;
        out.assign(t + from, i - from);
        return;
    }
    default:
        return;
    }
}

std::wstring CXmlDocument::GetText() const
{
    std::wstring out;
    GetText(out);
    return out;
}

// Character data of [from, to): text nodes decoded, CDATA sections as they stand;
// whitespace-only text, comments, processing instructions and tags skipped.
void CXmlDocument::ContentText(size_t from, size_t to, std::wstring& out) const
{
    const wchar_t* t = Chars(from, to);
    zv::xml::MarkupScan scan;
    size_t pos = from;
    while (pos < to) {
        if (t[pos] == L'<') {
            zv::xml::ScanMarkup(t, pos, to, scan);
            if (scan.kind == zv::xml::Markup::CdataSection) {
                out.append(t + pos + 9, scan.end - 3 - (pos + 9));
                pos = scan.end;
                continue;
            }
            if (scan.kind != zv::xml::Markup::Incorrect) {
                pos = scan.end;
                continue;
            }
        }
        // A text node runs to the next "<" that starts markup.
        size_t end = pos + 1;
        for (;;) {
            const wchar_t* lt = end < to ? std::wmemchr(t + end, L'<', to - end) : nullptr;
            end = lt ? static_cast<size_t>(lt - t) : to;
            if (end == to) break;
            zv::xml::ScanMarkup(t, end, to, scan);
            if (scan.kind != zv::xml::Markup::Incorrect) break;
            ++end;
        }
        bool blank = true;
        for (size_t i = pos; i < end && blank; ++i) blank = zv::xml::IsXmlSpace(t[i]);
        if (!blank) zv::xml::AppendDecoded(t + pos, end - pos, out);
        pos = end;
    }
}

void CXmlDocument::GetText(std::wstring& out) const
{
    out.clear();
    size_t at = m_node.offset;
    size_t len = m_node.length;
    switch (m_node.kind) {
    case XML_NODE_NONE: {
        if (!m_pos.main) return;
        const ElemRec& r = m_elems[m_pos.main];
        size_t from = Start(m_pos.main) + r.startTagLen;
        size_t to = Start(m_pos.main) + r.length - r.endTagLen;
        if (r.firstChild || from >= to) return;
        const wchar_t* t = Chars(from, to);
        if (!std::wmemchr(t + from, L'<', to - from)) zv::xml::AppendDecoded(t + from, to - from, out);
        else ContentText(from, to, out);
        return;
    }
    default:
        break;
    }
    const wchar_t* t = Chars(at, at + len);
    switch (m_node.kind) {
    case XML_NODE_TEXT:
    case XML_NODE_WHITESPACE:
        zv::xml::AppendDecoded(t + at, len, out);
        return;
    case XML_NODE_COMMENT:
        if (len >= 7) out.assign(t + at + 4, len - 7);
        return;
    case XML_NODE_PROCESSING_INSTRUCTION:
        if (len >= 4) out.assign(t + at + 2, len - 4);
        return;
    case XML_NODE_CDATA_SECTION:
        if (len >= 12) out.assign(t + at + 9, len - 12);
        return;
    case XML_NODE_LONE_END_TAG:
        if (len >= 3) out.assign(t + at + 2, len - 3);
        return;
    default:
        return;
    }
}

const std::vector<CXmlDocument::AttributeSpan>* CXmlDocument::CurrentAttributes() const
{
    if (m_node.kind == XML_NODE_PROCESSING_INSTRUCTION) {
        // "<?" and the target come before the attributes.
        size_t start = m_node.offset;
        const wchar_t* t = Chars(start, start + m_node.length);
        size_t i = start + 2;
        while (i < start + m_node.length && !zv::xml::IsXmlSpace(t[i]) && t[i] != L'?') ++i;
        ScanAttributes(start, m_node.length, i - start, m_attributes);
        m_attributesOf = 0;
        return &m_attributes;
    }
    if (m_node.kind != XML_NODE_NONE || !m_pos.main) return nullptr;
    if (m_attributesOf != m_pos.main) {
        const ElemRec& r = m_elems[m_pos.main];
        ScanAttributes(Start(m_pos.main), r.startTagLen, 1 + r.nameLen, m_attributes);
        m_attributesOf = m_pos.main;
    }
    return &m_attributes;
}

namespace {

// What ends an attribute name: XML white space, "=", "/" and the quotes. Tested for
// every character of every name read.
constexpr uint64_t kAttributeNameEnds = zv::LowAsciiSet(L" \t\r\n=/\"'");

inline bool EndsAttributeName(wchar_t c)
{
    return zv::InLowAsciiSet(c, kAttributeNameEnds);
}

} // namespace

void CXmlDocument::ScanAttributes(size_t tagStart, size_t tagLength, size_t nameSkip,
                                  std::vector<AttributeSpan>& out) const
{
    out.clear();
    const wchar_t* t = Chars(tagStart, tagStart + tagLength);
    // The closing ">" is never part of an attribute.
    size_t limit = tagStart + tagLength - 1;
    size_t i = tagStart + nameSkip;
    while (i < limit) {
        wchar_t c = t[i];
        if (zv::xml::IsXmlSpace(c) || c == L'/' || c == L'?' || c == L'=') {
            ++i;
            continue;
        }
        if (c == L'"' || c == L'\'') {
            // A value without a name: skipped whole.
            const wchar_t* q = zv::xml::FindChar(t + i + 1, t + limit, c);
            i = q ? static_cast<size_t>(q - t) + 1 : limit;
            continue;
        }
        AttributeSpan& span = out.emplace_back();
        span.nameAt = i;
        while (i < limit && !EndsAttributeName(t[i])) ++i;
        span.nameLen = i - span.nameAt;
        size_t j = i;
        while (j < limit && zv::xml::IsXmlSpace(t[j])) ++j;
        span.end = i;
        if (j < limit && t[j] == L'=') {
            ++j;
            while (j < limit && zv::xml::IsXmlSpace(t[j])) ++j;
            if (j < limit && (t[j] == L'"' || t[j] == L'\'')) {
                const wchar_t* q = zv::xml::FindChar(t + j + 1, t + limit, t[j]);
                size_t close = q ? static_cast<size_t>(q - t) : limit;
                span.valueAt = j + 1;
                span.valueLen = close - span.valueAt;
                span.end = q ? close + 1 : limit;
            } else {
                span.valueAt = j;
                while (j < limit && !zv::xml::IsXmlSpace(t[j]) && !(t[j] == L'/' && j + 1 == limit)) ++j;
                span.valueLen = j - span.valueAt;
                span.end = j;
            }
            i = span.end;
        }
    }
}

const CXmlDocument::AttributeSpan* CXmlDocument::FindAttribute(const std::vector<AttributeSpan>& spans,
                                                               const wchar_t* name) const
{
    size_t len = std::wcslen(name);
    if (spans.empty()) return nullptr;
    // The spans lie in one tag.
    const wchar_t* t = Chars(spans.front().nameAt, spans.back().end);
    for (const auto& span : spans)
        if (span.nameLen == len && zv::xml::SameChars(t + span.nameAt, name, len)) return &span;
    return nullptr;
}

std::wstring CXmlDocument::GetAttribute(const wchar_t* name) const
{
    std::wstring out;
    GetAttribute(name, out);
    return out;
}

void CXmlDocument::GetAttribute(const wchar_t* name, std::wstring& out) const
{
    out.clear();
    if (!name || !*name) return;
    const auto* spans = CurrentAttributes();
    const AttributeSpan* span = spans ? FindAttribute(*spans, name) : nullptr;
    if (span)
        zv::xml::AppendDecoded(Chars(span->valueAt, span->valueAt + span->valueLen) + span->valueAt, span->valueLen, out);
}

size_t CXmlDocument::GetAttributes(AttributeView* out, size_t capacity) const
{
    const auto* spans = CurrentAttributes();
    if (!spans || spans->empty()) return 0;
    // The spans lie in one tag.
    const wchar_t* t = Chars(spans->front().nameAt, spans->back().end);
    size_t n = std::min(capacity, spans->size());
    for (size_t i = 0; i < n; ++i) {
        const AttributeSpan& span = (*spans)[i];
        out[i].name = std::wstring_view(t + span.nameAt, span.nameLen);
        out[i].rawValue = std::wstring_view(t + span.valueAt, span.valueLen);
    }
    return spans->size();
}

void CXmlDocument::DecodeAttributeValue(std::wstring_view rawValue, std::wstring& out)
{
    out.clear();
    zv::xml::AppendDecoded(rawValue.data(), rawValue.size(), out);
}

std::wstring CXmlDocument::GetAttributeName(int n) const
{
    std::wstring out;
    GetAttributeName(n, out);
    return out;
}

bool CXmlDocument::GetAttributeName(int n, std::wstring& out) const
{
    out.clear();
    const auto* spans = n >= 0 ? CurrentAttributes() : nullptr;
    if (!spans || static_cast<size_t>(n) >= spans->size()) return false;
    const AttributeSpan& span = (*spans)[n];
    out.assign(Chars(span.nameAt, span.nameAt + span.nameLen) + span.nameAt, span.nameLen);
    return true;
}

std::wstring CXmlDocument::GetInnerMarkup() const
{
    std::wstring out;
    GetInnerMarkup(out);
    return out;
}

void CXmlDocument::GetInnerMarkup(std::wstring& out) const
{
    out.assign(GetInnerMarkupView());
}

std::wstring_view CXmlDocument::GetInnerMarkupView() const
{
    if (m_node.kind != XML_NODE_NONE || !m_pos.main) return {};
    const ElemRec& r = m_elems[m_pos.main];
    size_t from = Start(m_pos.main) + r.startTagLen;
    size_t to = Start(m_pos.main) + r.length - r.endTagLen;
    if (from >= to) return {};
    return std::wstring_view(Chars(from, to) + from, to - from);
}

std::wstring_view CXmlDocument::GetNameView() const
{
    if (m_node.kind != XML_NODE_NONE || !m_pos.main) return {};
    return ElementName(m_pos.main);
}
