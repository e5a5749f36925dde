// The reader's views and cursor marks: what they show matches the copying accessors, a
// mark brings the cursor back exactly, and a mark that does not fit the document is refused.
#include "updater/config/xml_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(XmlCursorViews, ViewsShowWhatTheCopiesShow)
{
    CXmlDocument doc(L"<r><a x=\"1\" y='2'>in <b>side</b></a><c/><d z=\"&amp;\" /><e></e></r>");
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_TRUE(doc.ChildNameView().empty()); // no child found yet
    struct Case {
        std::wstring name, attributes, inner;
    };
    const std::vector<Case> cases = {
        {L"a", L" x=\"1\" y='2'", L"in <b>side</b>"}, {L"c", L"/", L""}, {L"d", L" z=\"&amp;\" /", L""}, {L"e", L"", L""}};
    for (const Case& c : cases) {
        ASSERT_TRUE(doc.FindChildElement());
        EXPECT_EQ(doc.ChildNameView(), c.name);
        ASSERT_TRUE(doc.EnterElement());
        EXPECT_EQ(doc.AttributeTextView(), c.attributes) << c.name;
        EXPECT_EQ(doc.GetInnerMarkupView(), c.inner) << c.name;
        EXPECT_EQ(doc.GetInnerMarkupView(), doc.GetInnerMarkup()) << c.name;
        ASSERT_TRUE(doc.LeaveElement());
    }
    EXPECT_FALSE(doc.FindChildElement());
}

TEST(XmlCursorViews, MarksBringTheCursorBack)
{
    CXmlDocument doc(L"<r><a>1</a><b>2</b><a>3</a></r>");
    ASSERT_TRUE(doc.FindElement(L"r"));
    std::vector<CXmlDocument::Mark> marks;
    while (doc.FindChildElement()) marks.push_back(doc.GetMark());
    ASSERT_EQ(marks.size(), 3u);
    // Back to each, last first: entering gives that child.
    const wchar_t* texts[] = {L"1", L"2", L"3"};
    for (size_t i = marks.size(); i-- > 0;) {
        doc.GoToMark(marks[i]);
        ASSERT_TRUE(doc.EnterElement());
        EXPECT_EQ(doc.GetText(), texts[i]);
        ASSERT_TRUE(doc.LeaveElement());
        // The walk goes on from the marked child.
        EXPECT_EQ(doc.FindChildElement(), i + 1 < marks.size());
    }

    // A mark from a larger document is refused and the cursor stays where it was.
    CXmlDocument big(L"<r><a/><a/><a/><a/><a/><a/><a/><a/></r>");
    ASSERT_TRUE(big.FindElement(L"r"));
    while (big.FindChildElement()) {
    }
    CXmlDocument::Mark far = big.GetMark();
    far.child = 7;
    doc.GoToMark(marks[1]);
    doc.GoToMark(far);
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetText(), L"2");
    CXmlDocument empty;
    empty.GoToMark(far);
    EXPECT_TRUE(empty.ChildNameView().empty());
    EXPECT_FALSE(empty.EnterElement());
}

} // namespace
