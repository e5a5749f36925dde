#include "updater/core/manifest_reader.h"
#include "updater/core/manifest_text.h"

#include "updater/base/text_helpers.h"

namespace zv::core {

namespace {

// Values are short: a plain loop beats a library search call.
bool HasReference(std::wstring_view raw)
{
    for (wchar_t c : raw)
        if (c == L'&') return true;
    return false;
}

} // namespace

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

bool PlainText(const CXmlDocument& doc, std::wstring_view& out)
{
    // An empty view may still be a node's text, or nothing: GetText tells.
    const std::wstring_view content = doc.GetInnerMarkupView();
    if (content.empty()) return false;
    // Without "<" there is no child, comment or section; without "&" nothing to decode.
    constexpr uint64_t kMarkupOrReference = zv::LowAsciiSet(L"<&");
    for (wchar_t c : content)
        if (zv::InLowAsciiSet(c, kMarkupOrReference)) return false;
    out = content;
    return true;
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
    if (!raw) out.clear();
    else TextOf(*raw, out);
}

void ElementAttributes::TextOf(std::wstring_view raw, std::pmr::wstring& out)
{
    // Without a reference the value stands as written: straight into the item's storage.
    if (!HasReference(raw)) {
        out.assign(raw.data(), raw.size());
        return;
    }
    thread_local std::wstring decoded;
    CXmlDocument::DecodeAttributeValue(raw, decoded);
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
    return raw ? IntOf(*raw) : 0;
}

int ElementAttributes::IntOf(std::wstring_view raw)
{
    // Without a reference the value is read where it stands.
    if (!HasReference(raw)) return ReadDecimalView(raw);
    // Reused: an item reads a dozen of these.
    thread_local std::wstring text;
    CXmlDocument::DecodeAttributeValue(raw, text);
    return zv::ReadDecimal(text);
}

} // namespace zv::core
