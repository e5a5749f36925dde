#include "updater/core/manifest_reader.h"

#include "updater/base/text_helpers.h"

namespace zv::core {

bool ReadChild(CXmlDocument& doc, const wchar_t* position, const wchar_t* name, Content content, std::wstring& out)
{
    out.clear();
    doc.RestorePosition(position);
    bool found = false;
    while (doc.FindChildElement(name)) {
        EnteredChild child(doc);
        if (content == Content::Raw) out = doc.GetInnerMarkup();
        else doc.GetText(out);
        found = true;
    }
    return found;
}

int IntAttribute(const CXmlDocument& doc, const wchar_t* name)
{
    // Reused: an item reads a dozen of these.
    thread_local std::wstring text;
    doc.GetAttribute(name, text);
    return zv::ReadDecimal(text);
}

ElementAttributes::ElementAttributes(const CXmlDocument& doc)
{
    m_count = doc.GetAttributes(m_inline, kInline);
    if (m_count > kInline) {
        m_more.resize(m_count);
        doc.GetAttributes(m_more.data(), m_count);
        m_views = m_more.data();
    }
}

const std::wstring_view* ElementAttributes::Find(std::wstring_view name) const
{
    // The first character rules out most names without a call to compare the rest.
    for (size_t i = 0; i < m_count; ++i) {
        const std::wstring_view candidate = m_views[i].name;
        if (candidate.size() == name.size() && (name.empty() || candidate[0] == name[0]) && candidate == name) return &m_views[i].rawValue;
    }
    return nullptr;
}

void ElementAttributes::Text(std::wstring_view name, std::wstring& out) const
{
    const std::wstring_view* raw = Find(name);
    if (!raw) out.clear();
    else CXmlDocument::DecodeAttributeValue(*raw, out);
}

void ElementAttributes::Text(std::wstring_view name, std::pmr::wstring& out) const
{
    const std::wstring_view* raw = Find(name);
    if (!raw) {
        out.clear();
        return;
    }
    // Without a reference the value stands as written: straight into the item's storage.
    if (raw->find(L'&') == std::wstring_view::npos) {
        out.assign(raw->data(), raw->size());
        return;
    }
    thread_local std::wstring decoded;
    CXmlDocument::DecodeAttributeValue(*raw, decoded);
    out = decoded;
}

std::wstring ElementAttributes::Text(std::wstring_view name) const
{
    std::wstring out;
    Text(name, out);
    return out;
}

int ElementAttributes::Int(std::wstring_view name) const
{
    const std::wstring_view* raw = Find(name);
    if (!raw) return 0;
    // Reused: an item reads a dozen of these.
    thread_local std::wstring text;
    CXmlDocument::DecodeAttributeValue(*raw, text);
    return zv::ReadDecimal(text);
}

} // namespace zv::core
