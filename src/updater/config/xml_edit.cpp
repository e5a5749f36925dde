// The two edits of the XML reader: inserting a node and setting an attribute. Both
// change the text in place and shift the index behind the change.
#include "updater/config/xml_document.h"

#include "updater/config/xml_text.h"

#include <algorithm>
#include <cwchar>

namespace {

bool IsUsableElementName(const wchar_t* name)
{
    if (!name || !zv::xml::IsNameStart(name[0])) return false;
    for (const wchar_t* p = name; *p; ++p)
        if (zv::xml::IsXmlSpace(*p) || *p == L'<' || *p == L'>' || *p == L'/' || *p == L'&' || *p == L'"' ||
            *p == L'\'' || *p == L'=')
            return false;
    return true;
}

} // namespace

// Replaces [at, at + removed) with added. The element growing and its ancestors
// contain the change and change length; elements starting behind it move (through the
// gap, without touching their records).
bool CXmlDocument::Replace(size_t at, size_t removed, const std::wstring& added, uint32_t growing)
{
    if (TextSize() - removed + added.size() > m_maxChars) return false;
    MoveGap(at);
    m_gapLen += removed;
    if (!WidenGap(added.size())) {
        m_gapLen -= removed;
        return false;
    }
    std::copy(added.begin(), added.end(), m_text.begin() + static_cast<std::ptrdiff_t>(m_gapAt));
    m_gapAt += added.size();
    m_gapLen -= added.size();
    m_attributesOf = 0;
    auto delta = static_cast<uint32_t>(added.size() - removed); // modular: adding it subtracts when negative
    for (uint32_t e = growing;; e = m_elems[e].parent) {
        m_elems[e].length += delta;
        if (e == 0) break;
    }
    if (m_node.kind != XML_NODE_NONE && m_node.offset >= at + removed) m_node.offset += delta;
    return true;
}

void CXmlDocument::LinkInOrder(uint32_t parent, uint32_t child)
{
    // After the last child that starts before it. The new node follows the current
    // one, so the search starts there when it is a child of the same parent.
    uint32_t before = 0;
    uint32_t first = m_elems[parent].firstChild;
    size_t at = Start(child);
    uint32_t from = first;
    if (m_pos.main && m_pos.main != child && m_elems[m_pos.main].parent == parent && Start(m_pos.main) < at)
        from = m_pos.main;
    for (uint32_t e = from; e && Start(e) < at; e = m_elems[e].next) before = e;
    ElemRec& c = m_elems[child];
    c.parent = parent;
    if (!first) {
        m_elems[parent].firstChild = child;
        c.prev = child;
        c.next = 0;
    } else if (!before) {
        c.next = first;
        c.prev = m_elems[first].prev;
        m_elems[first].prev = child;
        m_elems[parent].firstChild = child;
    } else {
        c.prev = before;
        c.next = m_elems[before].next;
        m_elems[before].next = child;
        if (c.next) m_elems[c.next].prev = child;
        else m_elems[first].prev = child;
    }
}

bool CXmlDocument::InsertNode(XmlNodeKind kind, const wchar_t* text)
{
    if (!text) text = L"";
    std::wstring markup;
    switch (kind) {
    case XML_NODE_ELEMENT:
        if (!IsUsableElementName(text)) return false;
        markup = std::wstring(L"<") + text + L"/>";
        break;
    case XML_NODE_TEXT:
        markup = zv::xml::Escape(text, false);
        break;
    case XML_NODE_CDATA_SECTION: {
        std::wstring body = text;
        // "]]>" cannot stand inside a section: end it after "]]" and reopen.
        for (size_t at = body.find(L"]]>"); at != std::wstring::npos; at = body.find(L"]]>", at + 15))
            body.replace(at, 3, L"]]]]><![CDATA[>");
        markup = L"<![CDATA[" + body + L"]]>";
        break;
    }
    case XML_NODE_COMMENT: {
        // A comment cannot hold "--" nor end in "-": such text would end it early or
        // not at all, and the rest of the document would change meaning.
        std::wstring body = text;
        if (body.find(L"--") != std::wstring::npos || (!body.empty() && body.back() == L'-')) return false;
        markup = L"<!--" + body + L"-->";
        break;
    }
    case XML_NODE_PROCESSING_INSTRUCTION:
        // A target is needed, and "?>" would end the instruction early.
        if (!*text || zv::xml::IsXmlSpace(*text) || std::wcsstr(text, L"?>")) return false;
        markup = std::wstring(L"<?") + text + L"?>";
        break;
    default:
        return false;
    }
    try {
        uint32_t parent = m_pos.parent;
        ElemRec& p = m_elems[parent];
        if (parent && IsEmptyElementTag(p)) {
            // An empty-element parent gets content: "<a/>" becomes "<a></a>".
            std::wstring endTag = L"></" + std::wstring(ElementName(parent)) + L">";
            size_t slash = Start(parent) + p.startTagLen - 2;
            if (!Replace(slash, 2, endTag, parent)) return false;
            ElemRec& q = m_elems[parent];
            q.startTagLen -= 1;
            q.endTagLen = q.nameLen + 3;
        }
        size_t at;
        if (m_node.kind != XML_NODE_NONE) at = m_node.offset + m_node.length;
        else if (m_pos.main) at = Start(m_pos.main) + m_elems[m_pos.main].length;
        else if (parent) at = Start(parent) + m_elems[parent].startTagLen;
        else at = 0;
        if (kind == XML_NODE_ELEMENT) {
            m_elems.reserve(m_elems.size() + 1);
            m_inserted.reserve(m_inserted.size() + 1);
        }
        if (!Replace(at, 0, markup, parent)) return false;
        if (kind == XML_NODE_ELEMENT) {
            auto index = static_cast<uint32_t>(m_elems.size());
            ElemRec& r = m_elems.emplace_back();
            r.start = static_cast<uint32_t>(at); // before the gap: its buffer offset is its text offset
            // In text order; a run of insertions front to back appends.
            auto place = std::upper_bound(m_inserted.begin(), m_inserted.end(), r.start,
                                          [this](uint32_t v, uint32_t e) { return v < m_elems[e].start; });
            m_inserted.insert(place, index);
            r.length = r.startTagLen = static_cast<uint32_t>(markup.size());
            r.nameLen = static_cast<uint32_t>(markup.size() - 3);
            LinkInOrder(parent, index);
            m_pos.main = index;
            m_pos.child = 0;
            m_node = Node();
        } else {
            m_node.kind = kind;
            m_node.offset = static_cast<uint32_t>(at);
            m_node.length = static_cast<uint32_t>(markup.size());
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CXmlDocument::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (m_node.kind != XML_NODE_NONE || !m_pos.main || !name || !*name) return false;
    for (const wchar_t* p = name; *p; ++p)
        if (zv::xml::IsXmlSpace(*p) || *p == L'=' || *p == L'>' || *p == L'<' || *p == L'/' || *p == L'"' || *p == L'\'')
            return false;
    try {
        std::wstring attribute = std::wstring(name) + L"=\"" + zv::xml::Escape(value ? value : L"", true) + L"\"";
        ElemRec& r = m_elems[m_pos.main];
        std::vector<AttributeSpan> spans;
        ScanAttributes(Start(m_pos.main), r.startTagLen, 1 + r.nameLen, spans);
        const AttributeSpan* span = FindAttribute(spans, name);
        size_t at, removed;
        if (span) {
            at = span->nameAt;
            removed = span->end - span->nameAt;
        } else {
            // Before the tag's ">" or "/>".
            at = Start(m_pos.main) + r.startTagLen - 1;
            if (IsEmptyElementTag(r)) --at;
            attribute.insert(attribute.begin(), L' ');
            removed = 0;
        }
        size_t before = TextSize();
        uint32_t main = m_pos.main;
        if (!Replace(at, removed, attribute, main)) return false;
        m_elems[main].startTagLen += static_cast<uint32_t>(TextSize() - before);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
