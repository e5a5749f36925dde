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

} // namespace zv::core
