// Feeds arbitrary bytes to the XML reader, walks every element through every reading
// operation and, for well-formed input, checks that edits keep the index in step with
// the text (the edited index must read like a fresh parse of the edited text).
#include "updater/config/xml_document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::wstring Walk(CXmlDocument& doc)
{
    std::wstring out;
    std::wstring name;
    doc.ResetPosition();
    for (;;) {
        if (doc.FindElement()) {
            out += L"<" + doc.GetName();
            for (int n = 0; n < 64 && doc.GetAttributeName(n, name); ++n)
                out += L" " + name + L"=" + doc.GetAttribute(name.c_str());
            // All attributes in one call: the same names, in the same order.
            CXmlDocument::AttributeView views[8];
            const size_t count = doc.GetAttributes(views, 8);
            std::wstring value;
            for (size_t i = 0; i < count && i < 8; ++i) {
                if (!doc.GetAttributeName(static_cast<int>(i), name) || views[i].name != name) std::abort();
                CXmlDocument::DecodeAttributeValue(views[i].rawValue, value);
                out += L"," + value;
            }
            if (count < 64 && doc.GetAttributeName(static_cast<int>(count), name)) std::abort();
            out += L"|" + doc.GetText() + L"|" + doc.GetInnerMarkup();
            doc.FindChildElement();
            doc.EnterElement();
            continue;
        }
        if (!doc.LeaveElement()) break;
        out += L">";
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXmlDocument doc;
    bool wellFormed = doc.LoadUtf8(reinterpret_cast<const char*>(data), size);
    if (doc.GetResultText().empty()) std::abort(); // a load always reports its byte counts
    Walk(doc);
    doc.SavePosition(L"p");
    doc.RestorePosition(L"p");
    if (!wellFormed) {
        // Edits on broken documents must stay in bounds too.
        doc.ResetPosition();
        if (doc.FindElement() && doc.EnterElement()) doc.InsertNode(XML_NODE_TEXT, L"&t");
        Walk(doc);
        return 0;
    }
    doc.ResetPosition();
    if (!doc.FindElement()) std::abort();
    doc.SetAttribute(L"zz", L"<v>'\"");
    doc.EnterElement();
    doc.InsertNode(XML_NODE_ELEMENT, L"ins");
    doc.EnterElement();
    doc.InsertNode(XML_NODE_TEXT, L"a<&>b");
    doc.InsertNode(XML_NODE_CDATA_SECTION, L"]]>");
    doc.LeaveElement();
    doc.SetAttribute(L"k", L"1");
    // A run of edits front to back, as localisation does, with reads between them:
    // a text node into each child of the root and an attribute on it.
    doc.ResetPosition();
    doc.FindElement();
    doc.EnterElement();
    for (int n = 0; n < 256 && doc.FindElement(); ++n) {
        (void)doc.GetAttribute(L"s");
        if (doc.EnterElement()) {
            doc.InsertNode(n % 2 ? XML_NODE_TEXT : XML_NODE_ELEMENT, n % 2 ? L"t&" : L"e");
            doc.LeaveElement();
        }
        doc.SetAttribute(L"z", L"1");
    }
    CXmlDocument fresh(doc.GetDocumentText());
    if (!fresh.IsWellFormed()) std::abort();
    if (Walk(doc) != Walk(fresh)) std::abort();
    return 0;
}
