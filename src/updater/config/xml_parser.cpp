// Loading a document: decoding, the one-pass element index and the document checks.
#include "updater/config/xml_document.h"

#include "updater/base/file_read.h"
#include "updater/config/xml_scanner.h"
#include "updater/config/xml_text.h"
#include "updater/base/text_helpers.h"

#include <cwchar>
#include <new>
#include <string_view>
#include <unordered_map>

namespace {
constexpr size_t kMessageChars = 1024;
}

// The index pass. Open elements are kept on an explicit stack, so nesting depth costs
// memory, not call stack.
class CXmlDocument::Parser {
public:
    explicit Parser(CXmlDocument& doc) : m_doc(doc), m_text(doc.m_text.data()), m_size(doc.m_text.size()) {}

    void Run()
    {
        auto& elems = m_doc.m_elems;
        elems.clear();
        elems.reserve(m_size / 64 + 16);
        elems.emplace_back();
        elems[0].length = static_cast<uint32_t>(m_size);
        m_open.push_back(0);

        zv::xml::MarkupScan scan;
        size_t pos = 0;
        while (pos < m_size) {
            const wchar_t* lt = std::wmemchr(m_text + pos, L'<', m_size - pos);
            if (!lt) break;
            pos = static_cast<size_t>(lt - m_text);
            zv::xml::ScanMarkup(m_text, pos, m_size, scan);
            switch (scan.kind) {
            case zv::xml::Markup::StartTag:
            case zv::xml::Markup::EmptyElementTag:
                OpenElement(pos, scan);
                break;
            case zv::xml::Markup::EndTag:
                CloseElement(pos, scan);
                break;
            case zv::xml::Markup::Incorrect:
                Problem(zv::Format(kMessageChars, L"Incorrect %s at offset %d", scan.what, Int(scan.problemAt)));
                break;
            case zv::xml::Markup::Unterminated:
                Problem(zv::Format(kMessageChars, L"%s at offset %d unterminated", scan.what, Int(scan.problemAt)));
                break;
            default:
                break;
            }
            pos = scan.end;
        }
        while (m_open.size() > 1) {
            uint32_t e = m_open.back();
            if (m_message.empty())
                m_message =
                    zv::Format(kMessageChars, L"Element '%s' at offset %d not ended", Name(e).c_str(), Int(elems[e].start));
            EndWithoutTag(e, m_size);
        }
        m_doc.m_illFormed = m_illFormed;

        uint32_t roots = 0;
        for (uint32_t e = elems[0].firstChild; e && roots < 2; e = elems[e].next) ++roots;
        if (m_size == 0) m_message = L"Empty document";
        else if (roots == 0) m_message = L"No root element";
        else if (roots > 1) m_message = L"Root element has sibling";
    }

    std::wstring& Message() { return m_message; }

private:
    static int Int(size_t v) { return static_cast<int>(v); }

    std::wstring Name(uint32_t e) const { return std::wstring(m_doc.ElementName(e)); }

    void Problem(std::wstring message)
    {
        m_illFormed = true;
        if (m_message.empty()) m_message = std::move(message);
    }

    void OpenElement(size_t pos, const zv::xml::MarkupScan& scan)
    {
        auto& elems = m_doc.m_elems;
        auto index = static_cast<uint32_t>(elems.size());
        ElemRec& r = elems.emplace_back();
        r.start = static_cast<uint32_t>(pos);
        r.startTagLen = static_cast<uint32_t>(scan.end - pos);
        r.nameLen = static_cast<uint32_t>(scan.nameLen);
        m_doc.AppendChild(m_open.back(), index);
        if (scan.kind == zv::xml::Markup::EmptyElementTag) {
            elems[index].length = elems[index].startTagLen;
        } else {
            m_open.push_back(index);
            if (m_tracking) ++m_openNames[m_doc.ElementName(index)];
        }
    }

    void Pop()
    {
        if (m_tracking) --m_openNames[m_doc.ElementName(m_open.back())];
        m_open.pop_back();
    }

    // Closed where another element's end tag or the text ends.
    void EndWithoutTag(uint32_t e, size_t at)
    {
        auto& elems = m_doc.m_elems;
        ElemRec& r = elems[e];
        r.length = static_cast<uint32_t>(at - r.start);
        r.endTagLen = 0;
        r.flags |= kIllFormed | kEndTagMissing;
        elems[r.parent].flags |= kParentIllFormed;
        m_illFormed = true;
        Pop();
    }

    void CloseElement(size_t pos, const zv::xml::MarkupScan& scan)
    {
        auto& elems = m_doc.m_elems;
        const wchar_t* name = m_text + pos + 2;
        uint32_t top = m_open.back();
        if (top == 0 || !m_doc.NameEquals(top, name, scan.nameLen)) {
            // Rare: count open names once, so that stray end tags cost no stack walk.
            if (!m_tracking) {
                for (size_t i = 1; i < m_open.size(); ++i) ++m_openNames[m_doc.ElementName(m_open[i])];
                m_tracking = true;
            }
            auto found = m_openNames.find(std::wstring_view(name, scan.nameLen));
            if (found == m_openNames.end() || found->second == 0) {
                Problem(zv::Format(kMessageChars, L"No start tag for end tag '%s' at offset %d",
                                   std::wstring(name, scan.nameLen).c_str(), Int(pos)));
                return;
            }
            if (m_message.empty())
                m_message = zv::Format(kMessageChars, L"End tag '%s' at offset %d does not match start tag '%s' at offset %d",
                                       std::wstring(name, scan.nameLen).c_str(), Int(pos + 1), Name(top).c_str(),
                                       Int(elems[top].start));
            while (!m_doc.NameEquals(m_open.back(), name, scan.nameLen)) EndWithoutTag(m_open.back(), pos);
            top = m_open.back();
        }
        ElemRec& r = elems[top];
        r.length = static_cast<uint32_t>(scan.end - r.start);
        r.endTagLen = static_cast<uint32_t>(scan.end - pos);
        Pop();
    }

    CXmlDocument& m_doc;
    const wchar_t* m_text;
    size_t m_size;
    std::vector<uint32_t> m_open;
    bool m_tracking = false;
    std::unordered_map<std::wstring_view, uint32_t> m_openNames;
    bool m_illFormed = false;
    std::wstring m_message;
};

CXmlDocument::CXmlDocument()
{
    m_elems.emplace_back();
}

CXmlDocument::CXmlDocument(const wchar_t* text) : CXmlDocument()
{
    SetText(text);
}

CXmlDocument::CXmlDocument(const std::wstring& text) : CXmlDocument()
{
    SetText(text);
}

void CXmlDocument::AppendChild(uint32_t parent, uint32_t child)
{
    ElemRec& c = m_elems[child];
    c.parent = parent;
    c.next = 0;
    uint32_t first = m_elems[parent].firstChild;
    if (!first) {
        m_elems[parent].firstChild = child;
        c.prev = child;
        return;
    }
    uint32_t last = m_elems[first].prev;
    c.prev = last;
    m_elems[last].next = child;
    m_elems[first].prev = child;
}

void CXmlDocument::SetCapacityLimit(size_t maxChars)
{
    m_maxChars = maxChars < kMaxChars ? maxChars : kMaxChars;
}

bool CXmlDocument::SetText(const wchar_t* text)
{
    return text ? LoadText(text, std::wcslen(text)) : LoadText(L"", 0);
}

bool CXmlDocument::SetText(const std::wstring& text)
{
    return LoadText(text.data(), text.size());
}

bool CXmlDocument::Refuse(std::wstring message)
{
    Load(std::wstring(), L"");
    m_result = std::move(message);
    return false;
}

bool CXmlDocument::LoadText(const wchar_t* text, size_t length)
{
    if (length > m_maxChars)
        return Refuse(L"Document of " + std::to_wstring(length) + L" characters is too large");
    try {
        return Load(std::wstring(text, length), L"");
    } catch (const std::bad_alloc&) {
        return Refuse(L"Out of memory");
    }
}

bool CXmlDocument::LoadUtf8(const char* bytes, size_t size)
{
    auto tooLarge = [size] { return L"Document of " + std::to_wstring(size) + L" bytes is too large"; };
    // Every character takes at least one byte and at most four.
    if (size / 4 > m_maxChars) return Refuse(tooLarge());
    try {
        std::wstring text;
        if (!zv::xml::DecodeUtf8(bytes, size, text, m_maxChars)) return Refuse(tooLarge());
        // The byte count may exceed an int (up to four bytes a character): printed as text.
        std::wstring message = zv::Format(kMessageChars, L"%s bytes to %d wide chars", std::to_wstring(size).c_str(),
                                          static_cast<int>(text.size()));
        return Load(std::move(text), message);
    } catch (const std::bad_alloc&) {
        return Refuse(L"Out of memory");
    }
}

bool CXmlDocument::LoadFile(const std::wstring& path)
{
    std::string bytes;
    std::wstring error;
    try {
        if (!zv::ReadWholeFile(path, m_maxChars * 4 + 3, bytes, error)) return Refuse(std::move(error));
    } catch (const std::bad_alloc&) {
        return Refuse(L"Out of memory");
    }
    return LoadUtf8(bytes.data(), bytes.size());
}

bool CXmlDocument::Load(std::wstring&& text, const std::wstring& loadMessage)
{
    m_text = std::move(text);
    m_attributesOf = 0;
    m_saved.clear();
    m_pos = Position();
    m_node = Node();
    Parser parser(*this);
    parser.Run();
    m_result = loadMessage;
    if (!parser.Message().empty()) {
        if (!m_result.empty()) m_result += L", ";
        m_result += parser.Message();
    }
    return IsWellFormed();
}

bool CXmlDocument::IsWellFormed() const
{
    uint32_t root = m_elems[0].firstChild;
    return !m_illFormed && root != 0 && m_elems[root].next == 0;
}
