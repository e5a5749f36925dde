#pragma once
// Small reading steps the manifest parsers share, on the XML reader's cursor.
#include "updater/config/xml_document.h"

#include <string>

namespace zv::core {

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

// The element's attribute read as a decimal integer (absent or non-numeric: 0).
int IntAttribute(const CXmlDocument& doc, const wchar_t* name);

} // namespace zv::core
