#include "updater/config/xml_document.h"

#include "updater/config/xml_text.h"
#include "support/test_paths.h"
#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Every element in document order: depth, name, attributes and inner markup, read
// through the cursor only.
std::vector<std::wstring> Walk(CXmlDocument& doc)
{
    std::vector<std::wstring> out;
    doc.ResetPosition();
    int depth = 0;
    for (;;) {
        if (doc.FindElement()) {
            std::wstring line = std::to_wstring(depth) + L" " + doc.GetName();
            std::wstring name;
            for (int n = 0; doc.GetAttributeName(n, name); ++n) line += L" " + name + L"=" + doc.GetAttribute(name.c_str());
            line += L" [" + doc.GetInnerMarkup() + L"] {" + doc.GetText() + L"}";
            out.push_back(line);
            doc.EnterElement();
            ++depth;
            continue;
        }
        if (!doc.LeaveElement()) break;
        --depth;
    }
    return out;
}

struct ParseCase {
    const wchar_t* text;
    bool wellFormed;
    const wchar_t* result;
};

TEST(XmlDocument, ParseResults)
{
    const ParseCase cases[] = {
        {L"<a><b></a>", false, L"End tag 'a' at offset 7 does not match start tag 'b' at offset 3"},
        {L"<a><b><c></a>", false, L"End tag 'a' at offset 10 does not match start tag 'c' at offset 6"},
        {L"<a/><b/>", false, L"Root element has sibling"},
        {L"<a><1/></a><b/>", false, L"Root element has sibling"},
        {L"", false, L"Empty document"},
        {L" \r\n", false, L"No root element"},
        {L"<!-- only -->", false, L"No root element"},
        {L"<a>", false, L"Element 'a' at offset 0 not ended"},
        {L"<a><b>", false, L"Element 'b' at offset 3 not ended"},
        {L"<a></b></a>", false, L"No start tag for end tag 'b' at offset 3"},
        {L"<a><1/></a>", false, L"Incorrect tag name character at offset 4"},
        {L"<a>1 < 2</a>", false, L"Incorrect tag name character at offset 6"},
        {L"<a><!x></a>", false, L"Incorrect ! tag at offset 5"},
        {L"<a><!-x--></a>", false, L"Incorrect comment tag at offset 6"},
        {L"<a><![X[y]]></a>", false, L"Incorrect tag at offset 6"},
        {L"<r><a b='1", false, L"Element tag at offset 3 unterminated"},
        {L"<r></r", false, L"Element end tag at offset 3 unterminated"},
        {L"<r><![CDATA[x]]", false, L"CDATA Section at offset 3 unterminated"},
        {L"<r><![CD", false, L"CDATA Section at offset 3 unterminated"},
        {L"<r><?pi x?", false, L"Processing instruction at offset 3 unterminated"},
        {L"<r><!-- x --", false, L"Comment at offset 3 unterminated"},
        {L"<r/><!DOCTYPE x [<!ENTITY e '>'>", false, L"Doctype at offset 4 unterminated"},
        {L"<r><", false, L"tag at offset 3 unterminated"},
        {L"<r><!", false, L"tag at offset 3 unterminated"},
        {L"<r/>", true, L""},
        {L"<?xml version=\"1.0\"?><!DOCTYPE r [<!ELEMENT r ANY><!ATTLIST r a CDATA '>'><!-- > -->]>"
         L"<r a='>' b=\">\"><!-- <x> --><![CDATA[<x></y>]]><?p <x>?></r>\r\n",
         true, L""},
        {L"<a x='say \"hi\"'/>", true, L""},
    };
    for (const auto& c : cases) {
        CXmlDocument doc;
        EXPECT_EQ(doc.SetText(c.text), c.wellFormed) << c.text;
        EXPECT_EQ(doc.IsWellFormed(), c.wellFormed) << c.text;
        EXPECT_EQ(doc.GetResultText(), c.result) << c.text;
    }
}

TEST(XmlDocument, MismatchedEndTagClosesTheInnerElement)
{
    CXmlDocument doc(L"<a><b></a>");
    EXPECT_EQ(Walk(doc), (std::vector<std::wstring>{L"0 a [<b>] {}", L"1 b [] {}"}));
}

TEST(XmlDocument, NullTextGivesAnEmptyDocument)
{
    CXmlDocument doc(L"<a/>");
    EXPECT_FALSE(doc.SetText(static_cast<const wchar_t*>(nullptr)));
    EXPECT_EQ(doc.GetResultText(), L"Empty document");
    EXPECT_FALSE(doc.FindElement());
}

struct TextCase {
    const wchar_t* doc;
    std::wstring text;
};

TEST(XmlDocument, GetTextDecodesAndSkips)
{
    const TextCase cases[] = {
        {L"<a>x &amp; &#65;&#x42; &foo;</a>", L"x & AB &foo;"},
        {L"<a> <![CDATA[1<2]]> </a>", L"1<2"},
        {L"<a>x<!--c-->y<?p q?>z</a>", L"xyz"},
        {L"<a> t <![CDATA[&amp;]]> u </a>", L" t &amp; u "},
        {L"<a>&lt;&gt;&apos;&quot;&amp;amp;</a>", L"<>'\"&amp;"},
        {L"<a>&#x1F600;|&#128512;</a>", L"\xD83D\xDE00|\xD83D\xDE00"},
        {L"<a>&#x10FFFF;</a>", L"\xDBFF\xDFFF"},
        {L"<a>&#0;&#x0;&#xD800;&#57343;&#x110000;</a>", L"&#0;&#x0;&#xD800;&#57343;&#x110000;"},
        {L"<a>&#;&#x;&#12345678;&#65&#x4G;&#X41;</a>", L"&#;&#x;&#12345678;&#65&#x4G;&#X41;"},
        {L"<a>&#1114111;&#x000041;</a>", L"\xDBFF\xDFFF" L"A"},
        {L"<a>&lt&gt;&</a>", L"&lt>&"},
        {L"<a>1 < 2</a>", L"1 < 2"},
        {L"<a><b/></a>", L""},
        {L"<a><b>x</b></a>", L""},
        {L"<a/>", L""},
        {L"<a></a>", L""},
        {L"<a>  </a>", L"  "},
    };
    for (const auto& c : cases) {
        CXmlDocument doc(c.doc);
        ASSERT_TRUE(doc.FindElement()) << c.doc;
        EXPECT_EQ(doc.GetText(), c.text) << c.doc;
    }
}

TEST(XmlDocument, Attributes)
{
    CXmlDocument doc(L"<a x='say \"hi\"' y=\"it's\" z = 'a>b' w=\"&lt;&#x41;\" e='' u=v/>");
    ASSERT_TRUE(doc.IsWellFormed()) << doc.GetResultText();
    ASSERT_TRUE(doc.FindElement(L"a"));
    const std::pair<const wchar_t*, const wchar_t*> values[] = {
        {L"x", L"say \"hi\""}, {L"y", L"it's"}, {L"z", L"a>b"}, {L"w", L"<A"},
        {L"e", L""},           {L"u", L"v"},    {L"X", L""},    {L"missing", L""},
    };
    for (const auto& v : values) EXPECT_EQ(doc.GetAttribute(v.first), v.second) << v.first;
    const wchar_t* names[] = {L"x", L"y", L"z", L"w", L"e", L"u", L"", L""};
    for (int n = 0; n < 8; ++n) EXPECT_EQ(doc.GetAttributeName(n), names[n]) << n;
    EXPECT_EQ(doc.GetAttributeName(-1), L"");
    EXPECT_EQ(doc.GetAttribute(nullptr), L"");
}

// All attributes in one call give what reading them one by one gives.
TEST(XmlDocument, AttributesInOneCallMatchOneByOne)
{
    const wchar_t* const tags[] = {
        L"<a x='say \"hi\"' y=\"it's\" z = 'a>b' w=\"&lt;&#x41;&bogus;\" e='' u=v/>",
        L"<a id=\"1\" id=\"2\" ID='3'>t</a>", // the first of a name counts
        L"<a/>",
        L"<a  lone  k=\"v\"\t\r\n q='&amp;amp;'></a>",
        L"<a \"nameless\" k=v2 />",
        L"<a k='x'y='z'/>",
    };
    for (const wchar_t* tag : tags) {
        CXmlDocument doc(tag);
        ASSERT_TRUE(doc.FindElement(L"a")) << zv::ToUtf8(tag);
        CXmlDocument::AttributeView views[16];
        const size_t count = doc.GetAttributes(views, 16);
        std::wstring name, value;
        size_t expected = 0;
        while (doc.GetAttributeName(static_cast<int>(expected), name)) ++expected;
        ASSERT_EQ(count, expected) << zv::ToUtf8(tag);
        for (size_t i = 0; i < count; ++i) {
            ASSERT_TRUE(doc.GetAttributeName(static_cast<int>(i), name));
            EXPECT_EQ(std::wstring(views[i].name), name) << zv::ToUtf8(tag) << " #" << i;
            bool first = true;
            for (size_t j = 0; j < i; ++j) first = first && views[j].name != views[i].name;
            CXmlDocument::DecodeAttributeValue(views[i].rawValue, value);
            if (first) {
                EXPECT_EQ(value, doc.GetAttribute(name.c_str())) << zv::ToUtf8(tag) << " #" << i;
            }
        }
    }
    // Too little room: the count still tells how many there are; the room is filled.
    CXmlDocument doc(L"<a p='1' q='2' r='3'/>");
    ASSERT_TRUE(doc.FindElement());
    CXmlDocument::AttributeView two[2];
    ASSERT_EQ(doc.GetAttributes(two, 2), 3u);
    EXPECT_EQ(two[1].name, L"q");
    EXPECT_EQ(two[1].rawValue, L"2");
    EXPECT_EQ(doc.GetAttributes(nullptr, 0), 3u);
    // No element at the cursor: none.
    CXmlDocument none(L"<a p='1'/>");
    EXPECT_EQ(none.GetAttributes(two, 2), 0u);
}

// Saved positions are told apart by their whole name.
TEST(XmlDocument, SavedPositionsMatchWholeNames)
{
    CXmlDocument doc(L"<r><a/><b/><c/><d/></r>");
    ASSERT_TRUE(doc.FindElement(L"r"));
    const wchar_t* const names[] = {L"", L"z", L"zA", L"zAb"};
    const wchar_t* children[] = {L"a", L"b", L"c", L"d"};
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(doc.FindChildElement(children[i]));
        ASSERT_TRUE(doc.SavePosition(names[i]));
    }
    // Saving a name again replaces its position.
    ASSERT_TRUE(doc.RestorePosition(L"z"));
    ASSERT_TRUE(doc.FindChildElement(L"c"));
    ASSERT_TRUE(doc.SavePosition(L"z"));
    children[1] = L"c";
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(doc.RestorePosition(names[i])) << i;
        ASSERT_TRUE(doc.EnterElement());
        EXPECT_EQ(doc.GetName(), children[i]) << i;
    }
    EXPECT_FALSE(doc.RestorePosition(L"zAbc"));
    EXPECT_FALSE(doc.RestorePosition(L"Z"));
    EXPECT_FALSE(doc.RestorePosition(L"Za"));
    EXPECT_FALSE(doc.RestorePosition(nullptr));
}

TEST(XmlDocument, CursorMoves)
{
    CXmlDocument doc(L"<r><a id='1'><b/></a><c/><a id='2'>t</a></r>");
    ASSERT_TRUE(doc.IsWellFormed());
    EXPECT_FALSE(doc.FindElement(L"R")); // names are case-sensitive
    EXPECT_FALSE(doc.EnterElement());
    EXPECT_FALSE(doc.LeaveElement());
    EXPECT_TRUE(doc.FindChildElement(L"a")); // makes the root the main position first
    EXPECT_EQ(doc.GetName(), L"r");
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(L"id"), L"1");
    EXPECT_TRUE(doc.SavePosition(L"first"));
    EXPECT_TRUE(doc.FindElement(L"a"));
    EXPECT_EQ(doc.GetAttribute(L"id"), L"2");
    EXPECT_EQ(doc.GetText(), L"t");
    EXPECT_FALSE(doc.FindElement(L"a")); // none left: the cursor stays
    EXPECT_EQ(doc.GetAttribute(L"id"), L"2");
    EXPECT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.GetName(), L"r");
    EXPECT_FALSE(doc.FindChildElement(L"a")); // the child position was the second a
    EXPECT_FALSE(doc.LeaveElement());
    EXPECT_TRUE(doc.RestorePosition(L"first"));
    EXPECT_EQ(doc.GetAttribute(L"id"), L"1");
    EXPECT_TRUE(doc.FindChildElement(nullptr));
    EXPECT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetName(), L"b");
    EXPECT_FALSE(doc.RestorePosition(L"unknown"));
    EXPECT_TRUE(doc.SavePosition(L"first")); // replaces the earlier one
    doc.ResetPosition();
    EXPECT_TRUE(doc.RestorePosition(L"first"));
    EXPECT_EQ(doc.GetName(), L"b");
    EXPECT_FALSE(doc.FindElement(L"")); // b has no sibling
    doc.ResetPosition();
    EXPECT_TRUE(doc.FindElement(L""));
    EXPECT_EQ(doc.GetName(), L"r");
}

TEST(XmlDocument, InnerMarkupIsRaw)
{
    CXmlDocument doc(L"<r><a x='1'>in<b/>&amp;</a><e/></r>");
    EXPECT_EQ(Walk(doc), (std::vector<std::wstring>{L"0 r [<a x='1'>in<b/>&amp;</a><e/>] {}",
                                                    L"1 a x=1 [in<b/>&amp;] {}", L"2 b [] {}", L"1 e [] {}"}));
}

TEST(XmlDocument, LoadedPositionsAreForgotten)
{
    CXmlDocument doc(L"<r><a><b/></a></r>");
    doc.FindElement();
    doc.FindChildElement();
    doc.EnterElement();
    doc.FindChildElement();
    doc.EnterElement();
    doc.SavePosition(L"deep");
    doc.SetText(L"<x/>");
    EXPECT_FALSE(doc.RestorePosition(L"deep"));
    EXPECT_EQ(doc.GetName(), L"");
}

TEST(XmlDocument, HundredThousandLevelsNeedNoRecursion)
{
    const int depth = 100000;
    std::wstring text;
    for (int i = 0; i < depth; ++i) text += L"<a>";
    text += L"x";
    std::wstring closed = text;
    for (int i = 0; i < depth; ++i) closed += L"</a>";

    CXmlDocument doc(closed);
    EXPECT_TRUE(doc.IsWellFormed()) << doc.GetResultText();
    int levels = 0;
    doc.ResetPosition();
    while (doc.FindElement(L"a")) {
        ++levels;
        doc.EnterElement();
    }
    EXPECT_EQ(levels, depth);
    while (doc.LeaveElement()) {
    }
    CXmlDocument copy = doc;
    EXPECT_TRUE(copy.IsWellFormed());

    CXmlDocument open(text);
    EXPECT_FALSE(open.IsWellFormed());
    EXPECT_EQ(open.GetResultText(), L"Element 'a' at offset 299997 not ended");

    // Stray end tags under deep nesting must not cost a walk of the open elements each.
    std::wstring stray = text;
    for (int i = 0; i < depth; ++i) stray += L"</b>";
    CXmlDocument strayDoc(stray);
    EXPECT_EQ(strayDoc.GetResultText(), L"No start tag for end tag 'b' at offset 300001");
}

TEST(XmlDocument, InsertAndSetAttributeKeepTheIndexRight)
{
    CXmlDocument doc(L"<r><a/><c>t</c></r>");
    ASSERT_TRUE(doc.FindElement(L"r"));
    ASSERT_TRUE(doc.FindChildElement(L"a"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.InsertNode(XML_NODE_ELEMENT, L"b"));
    EXPECT_EQ(doc.GetName(), L"b");
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.InsertNode(XML_NODE_TEXT, L"x<y&z"));
    EXPECT_EQ(doc.GetName(), L"#text");
    EXPECT_EQ(doc.GetText(), L"x<y&z");
    ASSERT_TRUE(doc.InsertNode(XML_NODE_CDATA_SECTION, L"p]]>q"));
    EXPECT_EQ(doc.GetName(), L"#cdata-section");
    ASSERT_TRUE(doc.InsertNode(XML_NODE_COMMENT, L" note "));
    EXPECT_EQ(doc.GetText(), L" note ");
    ASSERT_TRUE(doc.LeaveElement());
    ASSERT_TRUE(doc.SetAttribute(L"k", L"'\"<>&amp;"));
    EXPECT_EQ(doc.GetAttribute(L"k"), L"'\"<>&amp;");
    ASSERT_TRUE(doc.SetAttribute(L"k", L"2"));
    ASSERT_TRUE(doc.FindElement(L"c"));
    ASSERT_TRUE(doc.SetAttribute(L"n", L"1"));
    ASSERT_TRUE(doc.SetAttribute(L"n", L"a much longer value"));
    ASSERT_TRUE(doc.InsertNode(XML_NODE_PROCESSING_INSTRUCTION, L"pi v=\"3\""));
    EXPECT_EQ(doc.GetName(), L"pi");
    EXPECT_EQ(doc.GetAttribute(L"v"), L"3");
    EXPECT_FALSE(doc.InsertNode(XML_NODE_ELEMENT, L"bad name"));
    EXPECT_FALSE(doc.InsertNode(XML_NODE_DOCUMENT_TYPE, L"x"));
    // Text that would end a comment or an instruction early is refused.
    for (const wchar_t* bad : {L"a-->b", L"a--b", L"a-"}) EXPECT_FALSE(doc.InsertNode(XML_NODE_COMMENT, bad)) << bad;
    for (const wchar_t* bad : {L"p ?>x", L"", L" p"}) EXPECT_FALSE(doc.InsertNode(XML_NODE_PROCESSING_INSTRUCTION, bad));

    const std::wstring expected = L"<r><a/><b k=\"2\">x&lt;y&amp;z<![CDATA[p]]]]><![CDATA[>q]]><!-- note --></b>"
                                  L"<c n=\"a much longer value\">t</c><?pi v=\"3\"?></r>";
    EXPECT_EQ(doc.GetDocumentText(), expected);
    // The edited index reads like a fresh parse of the edited text.
    CXmlDocument fresh(expected);
    ASSERT_TRUE(fresh.IsWellFormed()) << fresh.GetResultText();
    EXPECT_EQ(Walk(doc), Walk(fresh));
    fresh.ResetPosition();
    ASSERT_TRUE(fresh.FindElement() && fresh.FindChildElement(L"b") && fresh.EnterElement());
    EXPECT_EQ(fresh.GetText(), L"x<y&zp]]>q");
}

TEST(XmlDocument, InsertIntoEmptyElementsAndAtTheStart)
{
    CXmlDocument doc(L"<r><e x='1' /></r>");
    doc.FindElement();
    doc.FindChildElement(L"e");
    doc.EnterElement(); // e is the main position
    doc.EnterElement(); // inside e
    ASSERT_TRUE(doc.InsertNode(XML_NODE_TEXT, L"v"));
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.GetText(), L"v");
    doc.ResetPosition();
    doc.FindElement();
    doc.EnterElement();
    ASSERT_TRUE(doc.InsertNode(XML_NODE_ELEMENT, L"first"));
    EXPECT_EQ(doc.GetDocumentText(), L"<r><first/><e x='1' >v</e></r>");
    CXmlDocument fresh(doc.GetDocumentText());
    EXPECT_EQ(Walk(doc), Walk(fresh));
}

struct SetAttributeCase {
    const wchar_t* doc;
    const wchar_t* name;
    const wchar_t* value;
    const wchar_t* edited;
};

TEST(XmlDocument, SetAttributeOnEveryKindOfStartTag)
{
    const SetAttributeCase cases[] = {
        {L"<a/>", L"n", L"1", L"<a n=\"1\"/>"},
        {L"<a />", L"n", L"1", L"<a  n=\"1\"/>"},
        {L"<a x='1'/>", L"x", L"2", L"<a x=\"2\"/>"},
        {L"<a></a>", L"n", L"1", L"<a n=\"1\"></a>"},
        {L"<a>", L"n", L"1", L"<a n=\"1\">"}, // end tag missing
        {L"<a x='1' y=\"2\">t</a>", L"x", L"a\"b", L"<a x=\"a&quot;b\" y=\"2\">t</a>"},
    };
    for (const auto& c : cases) {
        CXmlDocument doc(c.doc);
        ASSERT_TRUE(doc.FindElement()) << c.doc;
        ASSERT_TRUE(doc.SetAttribute(c.name, c.value)) << c.doc;
        EXPECT_EQ(doc.GetAttribute(c.name), c.value) << c.doc;
        EXPECT_EQ(doc.GetDocumentText(), c.edited) << c.doc;
        CXmlDocument fresh(c.edited);
        EXPECT_EQ(Walk(doc), Walk(fresh)) << c.doc;
    }
}

TEST(XmlDocument, CapacityLimitRefusesLargeDocuments)
{
    CXmlDocument doc;
    doc.SetCapacityLimit(10);
    EXPECT_FALSE(doc.SetText(L"<r>0123456789</r>"));
    EXPECT_EQ(doc.GetResultText(), L"Document of 17 characters is too large");
    EXPECT_FALSE(doc.FindElement());
    const std::pair<std::string, bool> loads[] = {
        {"<r>0123456789</r>", false},
        {std::string(60, 'x'), false},         // refused before decoding
        {"<r>\xF0\x9F\x98\x80\xF0\x9F\x98\x80</r>", false}, // 11 characters from 15 bytes
        {"<r>\xF0\x9F\x98\x80\xC3\xA9</r>", true},             // 10 characters from 13 bytes
        {"<r>\xC3\xA9\xC3\xA9\xC3\xA9</r>", true},             // 10 characters from 13 bytes
    };
    for (const auto& l : loads) {
        EXPECT_EQ(doc.LoadUtf8(l.first.data(), l.first.size()), l.second) << l.first;
        if (!l.second) {
            EXPECT_EQ(doc.GetResultText(), L"Document of " + std::to_wstring(l.first.size()) + L" bytes is too large");
        }
    }
    EXPECT_TRUE(doc.SetText(L"<r>012</r>"));
    EXPECT_TRUE(doc.FindElement() && doc.EnterElement());
    EXPECT_FALSE(doc.InsertNode(XML_NODE_TEXT, L"too long to fit"));
    EXPECT_EQ(doc.GetDocumentText(), L"<r>012</r>");
}

struct Utf8Case {
    std::string bytes;
    std::wstring text;
};

TEST(XmlDocument, Utf8Decoding)
{
    const Utf8Case cases[] = {
        {"plain ascii text", L"plain ascii text"},
        {"\xC3\xA9\xE2\x82\xAC", L"\x00E9\x20AC"},
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        {"a\xFF" "b", L"a?b"},
        {"\xC0\x80", L"??"},                 // overlong
        {"\xE0\x80\x80", L"???"},            // overlong
        {"\xED\xA0\x80", L"???"},            // a surrogate
        {"\xF4\x90\x80\x80", L"????"},       // above U+10FFFF
        {"\xE2\x82", L"?"},                  // truncated at the end
        {"\xE2\x82" "A", L"?A"},             // cut short
        {"\x80\xBF", L"??"},                 // lone continuation bytes
        {std::string("ab\0cd", 5), L"ab"},   // a zero byte ends the text
        {"0123456789abcdef\xC3\xA9", L"0123456789abcdef\x00E9"},
    };
    for (const auto& c : cases) {
        std::wstring out;
        zv::xml::DecodeUtf8(c.bytes.data(), c.bytes.size(), out);
        EXPECT_EQ(out, c.text) << c.bytes;
    }
}

TEST(XmlDocument, Utf8DecodingAcrossLongTextsAndTheLimit)
{
    // Multi-byte characters and surrogate pairs at every position round the decoder's
    // internal chunk boundaries.
    for (size_t lead = 4080; lead < 4110; ++lead) {
        std::string bytes(lead, 'a');
        bytes += "\xF0\x9F\x98\x80\xC3\xA9\xFF";
        bytes += std::string(lead, 'b');
        std::wstring expected = std::wstring(lead, L'a') + L"\xD83D\xDE00\x00E9?" + std::wstring(lead, L'b');
        std::wstring out;
        EXPECT_TRUE(zv::xml::DecodeUtf8(bytes.data(), bytes.size(), out));
        EXPECT_EQ(out, expected) << lead;
        EXPECT_TRUE(zv::xml::DecodeUtf8(bytes.data(), bytes.size(), out, expected.size())) << lead;
        EXPECT_EQ(out, expected) << lead;
        EXPECT_FALSE(zv::xml::DecodeUtf8(bytes.data(), bytes.size(), out, expected.size() - 1)) << lead;
        EXPECT_TRUE(out.empty());
    }
}

struct FileCase {
    std::string bytes;
    bool loaded;
    std::wstring result;
    std::wstring text; // GetText of the root
};

TEST(XmlDocument, LoadFile)
{
    zv::test::ScratchDir dir(L"xml_load_file");
    const FileCase cases[] = {
        {"<a>\xC3\xA9</a>", true, L"9 bytes to 8 wide chars", L"\x00E9"},
        {"<a>\xFF</a>", true, L"8 bytes to 8 wide chars", L"?"},
        {"<a>\xF0\x9F\x98\x80</a>", true, L"11 bytes to 9 wide chars", L"\xD83D\xDE00"},
        {"<a/><b/>", false, L"8 bytes to 8 wide chars, Root element has sibling", L""},
        {"", false, L"0 bytes to 0 wide chars, Empty document", L""},
        {std::string("<a>x</a>\0<b>", 12), true, L"12 bytes to 8 wide chars", L"x"},
        {"<a>trunc", false, L"8 bytes to 8 wide chars, Element 'a' at offset 0 not ended", L"trunc"},
    };
    int i = 0;
    for (const auto& c : cases) {
        std::wstring path = dir.File(L"case" + std::to_wstring(i++) + L".xml");
        zv::test::WriteFileBytes(path, c.bytes);
        CXmlDocument doc;
        EXPECT_EQ(doc.LoadFile(path), c.loaded) << c.bytes;
        EXPECT_EQ(doc.GetResultText(), c.result) << c.bytes;
        doc.FindElement();
        EXPECT_EQ(doc.GetText(), c.text) << c.bytes;
    }
}

TEST(XmlDocument, UnopenableFileReportsTheRuntimeError)
{
    zv::test::ScratchDir dir(L"xml_missing_file");
    CXmlDocument doc(L"<old/>");
    EXPECT_FALSE(doc.LoadFile(dir.File(L"missing.xml")));
    EXPECT_EQ(doc.GetResultText(), L"No such file or directory");
    EXPECT_FALSE(doc.FindElement());
    EXPECT_FALSE(doc.LoadFile(dir.Path())); // a folder: opening or reading fails
    EXPECT_FALSE(doc.GetResultText().empty());
    EXPECT_FALSE(doc.LoadFile(L""));
    EXPECT_FALSE(doc.GetResultText().empty());
    EXPECT_EQ(doc.GetResultText().find_first_of(L"\r\n"), std::wstring::npos);
}

TEST(XmlDocument, NonAsciiPath)
{
    zv::test::ScratchDir dir(L"xml_\x00E9t\x00E9");
    std::wstring path = dir.File(L"\x0444\x0430\x0439\x043B.xml");
    zv::test::WriteFileBytes(path, "<a>ok</a>");
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(path)) << doc.GetResultText();
}

TEST(XmlDocument, CopiesAreIndependent)
{
    CXmlDocument doc(L"<r><a>1</a><b>2</b></r>");
    doc.FindElement();
    doc.FindChildElement(L"a");
    CXmlDocument copy = doc;
    copy.EnterElement();
    EXPECT_EQ(copy.GetText(), L"1");
    EXPECT_TRUE(doc.FindChildElement(L"b"));
    doc.EnterElement();
    EXPECT_EQ(doc.GetText(), L"2");
    EXPECT_EQ(copy.GetText(), L"1");
}

// Every truncation of a document with each kind of markup loads, reports and can be
// walked without reading or writing out of bounds (the sanitizers watch). Arbitrary
// bytes and edits on them are the XML fuzzer's.
TEST(XmlDocument, TruncationsAndGarbageAreNavigable)
{
    const std::string sample =
        "<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY e 'x>'>]><m v='1'><i a=\"&lt;\" b='>'>t&amp;&#x1F600;"
        "<![CDATA[c]]><!--k--><?p q?></i><j/><k>\xC3\xA9</k></m>";
    for (size_t n = 0; n <= sample.size(); ++n) {
        CXmlDocument doc;
        doc.LoadUtf8(sample.data(), n);
        EXPECT_FALSE(doc.GetResultText().empty());
        Walk(doc);
    }
}

} // namespace
