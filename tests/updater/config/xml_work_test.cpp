// The XML reader's work grows with its input, not with the input's square: a text of
// many faults formats one message, and a run of edits through a document moves each
// character and index record about once.
#include "updater/config/xml_document.h"

#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Repeat(const std::wstring& piece, size_t times)
{
    std::wstring out;
    out.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(XmlWork, ATextOfManyFaultsFormatsOnlyItsFirstMessage)
{
    struct Case {
        std::wstring text;
        const wchar_t* message;
    };
    const Case cases[] = {
        {L"<r>" + Repeat(L"<", 1000000) + L"</r>", L"Incorrect tag name character at offset 4"},
        {L"<r>" + Repeat(L"</x>", 200000) + L"</r>", L"No start tag for end tag 'x' at offset 3"},
        {L"<r>" + Repeat(L"<!-x", 200000) + L"</r>", L"Incorrect comment tag at offset 6"},
        {L"<r>" + Repeat(L"<a><b></a>", 100000) + L"</r>",
         L"End tag 'a' at offset 10 does not match start tag 'b' at offset 6"},
    };
    for (const auto& c : cases) {
        CXmlDocument doc;
        EXPECT_FALSE(doc.SetText(c.text));
        EXPECT_EQ(doc.GetResultText(), c.message);
        EXPECT_EQ(doc.Work().formattedMessages, 1u) << zv::ToUtf8(c.message);
    }
}

// The localisation of a message body: a text node into every element with a "string"
// attribute, a target on every link without one.
void Localise(CXmlDocument& doc)
{
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindElement());
    doc.EnterElement();
    int n = 0;
    while (doc.FindElement()) {
        if (!doc.GetAttribute(L"string").empty()) {
            doc.EnterElement();
            doc.InsertNode(XML_NODE_TEXT, (L"text " + std::to_wstring(n++) + L" & more").c_str());
            doc.LeaveElement();
        }
        if (doc.GetName() == L"a" && doc.GetAttribute(L"target").empty()) doc.SetAttribute(L"target", L"ZvUpdater");
    }
}

TEST(XmlWork, ARunOfEditsThroughADocumentIsLinear)
{
    const size_t items = 20000;
    std::wstring body = L"<body>";
    std::wstring expected = L"<body>";
    for (size_t i = 0; i < items; ++i) {
        body += L"<p string=\"IDS_" + std::to_wstring(i) + L"\"></p><a href=\"u\"></a><i/>";
        expected += L"<p string=\"IDS_" + std::to_wstring(i) + L"\">text " + std::to_wstring(i) +
                    L" &amp; more</p><a href=\"u\" target=\"ZvUpdater\"></a><i/>";
    }
    body += L"</body>";
    expected += L"</body>";

    CXmlDocument doc(body);
    ASSERT_TRUE(doc.IsWellFormed());
    Localise(doc);
    EXPECT_EQ(doc.GetDocumentText(), expected);
    // Each edit shifting everything behind it would move billions of characters and
    // records here; moving each about once keeps both near the document's size.
    const CXmlDocument::WorkCounts& work = doc.Work();
    EXPECT_LE(work.movedChars, 4 * expected.size());
    EXPECT_LE(work.movedRecords, 4 * 3 * items);

    // The index still matches the text: reading it agrees with a fresh parse.
    CXmlDocument fresh(expected);
    for (CXmlDocument* d : {&doc, &fresh}) {
        d->ResetPosition();
        ASSERT_TRUE(d->FindElement());
        d->EnterElement();
    }
    for (size_t i = 0; i < 3 * items; ++i) {
        ASSERT_TRUE(doc.FindElement());
        ASSERT_TRUE(fresh.FindElement());
        ASSERT_EQ(doc.GetName(), fresh.GetName());
        ASSERT_EQ(doc.GetText(), fresh.GetText());
        ASSERT_EQ(doc.GetAttribute(L"target"), fresh.GetAttribute(L"target"));
        ASSERT_EQ(doc.GetInnerMarkup(), fresh.GetInnerMarkup());
    }
    EXPECT_FALSE(doc.FindElement());
}

TEST(XmlWork, InsertedElementsStayInOrderAcrossReadsAndFurtherEdits)
{
    // Elements inserted front to back, with the whole text read in between, which
    // closes the gap, and edits before earlier ones.
    CXmlDocument doc(L"<r><a/><b/></r>");
    doc.FindElement();
    doc.EnterElement();
    ASSERT_TRUE(doc.FindElement(L"a"));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(doc.InsertNode(XML_NODE_ELEMENT, (L"n" + std::to_wstring(i)).c_str()));
    EXPECT_EQ(doc.GetDocumentText(), L"<r><a/><n0/><n1/><n2/><b/></r>");
    ASSERT_TRUE(doc.SetAttribute(L"k", L"2"));
    doc.ResetPosition();
    doc.FindElement();
    doc.EnterElement();
    ASSERT_TRUE(doc.FindElement(L"a"));
    ASSERT_TRUE(doc.SetAttribute(L"k", L"<1>"));
    ASSERT_TRUE(doc.FindElement(L"b"));
    ASSERT_TRUE(doc.InsertNode(XML_NODE_COMMENT, L"c"));
    ASSERT_TRUE(doc.InsertNode(XML_NODE_ELEMENT, L"z"));
    const wchar_t* expected = L"<r><a k=\"&lt;1&gt;\"/><n0/><n1/><n2 k=\"2\"/><b/><!--c--><z/></r>";
    EXPECT_EQ(doc.GetDocumentText(), expected);
    std::wstring names;
    doc.ResetPosition();
    doc.FindElement();
    doc.EnterElement();
    while (doc.FindElement()) names += doc.GetName() + L"=" + doc.GetAttribute(L"k") + L" ";
    EXPECT_EQ(names, L"a=<1> n0= n1= n2=2 b= z= ");
}

} // namespace
