// Parsing a "DialogItem": title and subtitle resolved, the HTML body with its display
// strings filled in and its links aimed at the updater's window, and the buttons.
#include "updater/core/manifest_reader.h"
#include "updater/core/manifest_text.h"
#include "updater/core/updater_imp.h"

#include "updater/config/xml_document.h"
#include "updater/base/text_helpers.h"

using zv::core::Content;
using zv::core::EnteredChild;
using zv::core::ReadChild;

namespace {

// Visits every element of body in document order. Iterative: the depth comes from
// the manifest.
template <typename Visit>
void ForEachElement(CXmlDocument& body, Visit&& visit)
{
    body.ResetPosition();
    if (!body.FindElement(nullptr)) return;
    for (;;) {
        visit();
        if (body.FindChildElement(nullptr)) {
            body.EnterElement();
            continue;
        }
        while (!body.FindElement(nullptr))
            if (!body.LeaveElement()) return;
    }
}

} // namespace

std::unique_ptr<ZvLib_CItemDialogItem> CUpdaterImp::ParseDialogItem(CXmlDocument& doc, const std::wstring& productAbbr, int requestGroupId)
{
    constexpr const wchar_t* kPosition = zv::core::position::kDialog;
    auto dialog = std::make_unique<ZvLib_CItemDialogItem>();
    dialog->requestGroupId = requestGroupId;
    dialog->productAbbr = productAbbr;
    dialog->dialogId = doc.GetAttribute(L"id");
    const std::wstring language = Lang(requestGroupId);
    doc.SavePosition(kPosition);
    ReadChild(doc, kPosition, L"TitleId", Content::Raw, dialog->title);
    LookupDisplayString(language, dialog->title);
    ReadChild(doc, kPosition, L"SubTitleId", Content::Raw, dialog->subtitle);
    LookupDisplayString(language, dialog->subtitle);

    std::wstring text;
    if (ReadChild(doc, kPosition, L"MessageHTMLBody", Content::Text, text)) {
        CXmlDocument body(text);
        ForEachElement(body, [&] {
            std::wstring id = body.GetAttribute(L"string");
            if (!id.empty()) {
                std::wstring found;
                auto table = langStrings.find(zv::core::ToLowerAscii(language));
                if (table != langStrings.end() && table->second->Lookup(zv::core::ToUpperAscii(id), found)) {
                    body.EnterElement();
                    body.InsertNode(XML_NODE_TEXT, found.c_str());
                    body.LeaveElement();
                }
            }
            if (body.GetName() == L"A" && body.GetAttribute(L"target").empty()) body.SetAttribute(L"target", L"ZvUpdater");
        });
        dialog->htmlBody = body.GetDocumentText();
    }

    doc.RestorePosition(kPosition);
    while (doc.FindChildElement(L"Buttons")) {
        EnteredChild buttons(doc);
        while (doc.FindChildElement(L"Button")) {
            EnteredChild button(doc);
            constexpr const wchar_t* kButtonPosition = zv::core::position::kButton;
            doc.SavePosition(kButtonPosition);
            std::wstring id, value;
            ReadChild(doc, kButtonPosition, L"ButtonId", Content::Raw, id);
            bool hasValue = ReadChild(doc, kButtonPosition, L"ButtonValue", Content::Text, value);
            doc.RestorePosition(kButtonPosition);
            if (hasValue && !id.empty()) dialog->buttons[id] = zv::ReadDecimal(value);
        }
    }
    doc.RestorePosition(kPosition);
    return dialog;
}
