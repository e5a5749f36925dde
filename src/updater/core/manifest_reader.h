#pragma once
// Small reading steps the manifest parsers share, on the XML reader's cursor.
#include "updater/config/xml_document.h"
#include "updater/config/xml_text.h"

#include <memory_resource>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace zv::core {

// Names of the reader positions the parsers save. Short, so that the reader's key fits
// its string's inline buffer: a load saves and restores positions thousands of times.
namespace position {
constexpr const wchar_t* kManifest = L"zM";
constexpr const wchar_t* kSection = L"zS";
constexpr const wchar_t* kApplication = L"zA";
constexpr const wchar_t* kMore = L"zm";
constexpr const wchar_t* kApply = L"zp";
constexpr const wchar_t* kCommand = L"zc";
constexpr const wchar_t* kContainer = L"zC";
constexpr const wchar_t* kRequirement = L"zR";
constexpr const wchar_t* kEvent = L"zE";
constexpr const wchar_t* kDialog = L"zD";
constexpr const wchar_t* kButton = L"zB";
} // namespace position

// Enters the child element found last and leaves it again when it goes.
class EnteredChild {
public:
    explicit EnteredChild(CXmlDocument& doc) : m_doc(doc), m_entered(doc.EnterElement()) {}
    ~EnteredChild()
    {
        if (m_entered) m_doc.LeaveElement();
    }
    EnteredChild(const EnteredChild&) = delete;
    EnteredChild& operator=(const EnteredChild&) = delete;

private:
    CXmlDocument& m_doc;
    bool m_entered;
};

enum class Content { Text, Raw };

// Reads every child element named name of the element saved as position (the last
// one wins) as decoded text or raw markup. False, with out empty, when there is none.
bool ReadChild(CXmlDocument& doc, const wchar_t* position, const wchar_t* name, Content content, std::wstring& out);

// Element and attribute names and language codes: a few characters compared in place,
// where a library call per comparison costs more than the comparison (tens of thousands
// of times a load).
inline bool SameName(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && zv::xml::SameChars(a.data(), b.data(), a.size());
}

// The element's attribute read as a decimal integer (absent or non-numeric: 0).
int IntAttribute(const CXmlDocument& doc, const wchar_t* name);

// The text of the element at the cursor when it stands as written in the document (no
// markup, no reference): true with out a view into the document, valid until the next
// call on it. False when GetText has to decode it.
bool PlainText(const CXmlDocument& doc, std::wstring_view& out);

// GetText into out, copied straight from the document where it stands as written.
template <class String>
void ReadText(const CXmlDocument& doc, String& out)
{
    std::wstring_view plain;
    if (PlainText(doc, plain)) {
        out.assign(plain.data(), plain.size());
        return;
    }
    if constexpr (std::is_same_v<String, std::wstring>) {
        doc.GetText(out);
    } else {
        thread_local std::wstring decoded;
        doc.GetText(decoded);
        out.assign(decoded.data(), decoded.size());
    }
}

// The attributes of the element at the cursor, scanned once when made and then looked up
// by name: an item reads about twenty, most of them absent. The first attribute of a
// name counts, as with GetAttribute. Valid while the document is not edited.
class ElementAttributes {
public:
    explicit ElementAttributes(const CXmlDocument& doc);
    ElementAttributes(const ElementAttributes&) = delete;
    ElementAttributes& operator=(const ElementAttributes&) = delete;

    // The decoded value into out; empty when absent.
    void Text(std::wstring_view name, std::wstring& out) const;
    // The same into an item text, which keeps its own storage.
    void Text(std::wstring_view name, std::pmr::wstring& out) const;
    std::wstring Text(std::wstring_view name) const;
    // Read as a decimal integer (absent or non-numeric: 0).
    int Int(std::wstring_view name) const;

    // In document order, for a reader that takes every attribute in one pass.
    size_t Count() const { return m_count; }
    const CXmlDocument::AttributeView& operator[](size_t i) const { return m_views[i]; }
    // A raw value decoded as Text and Int decode it.
    static void TextOf(std::wstring_view raw, std::pmr::wstring& out);
    static int IntOf(std::wstring_view raw);

private:
    const std::wstring_view* Find(std::wstring_view name) const;

    static constexpr size_t kInline = 24;
    CXmlDocument::AttributeView m_inline[kInline];
    std::vector<CXmlDocument::AttributeView> m_more; // only for an element with more
    const CXmlDocument::AttributeView* m_views = m_inline;
    size_t m_count = 0;
};

} // namespace zv::core
