// An element's attributes read from one table give what reading each from the document
// gives: the first of a name, entities replaced, absent ones empty or 0.
#include "updater/core/manifest_reader.h"

#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

#include <memory_resource>
#include <string>

namespace {

TEST(ElementAttributes, ReadAsTheDocumentReadsThem)
{
    // The last element has more attributes than the table holds inline.
    std::wstring many = L"<a";
    for (int i = 0; i < 40; ++i) many += L" n" + std::to_wstring(i) + L"=\"" + std::to_wstring(i * 7) + L"\"";
    many += L" id=\"late\"/>";
    const std::wstring tags[] = {
        L"<a id=\"12\" note=\"x &amp; y\" id=\"13\" isSelected=' 1' dlSize=\"-4\" big=\"99999999999\" word=\"abc\" e=''/>",
        L"<a ID=\"1\" Id=\"2\" isVisible=\"&#x33;4\" note=\"&lt;b&gt;\" bare lone=v/>",
        L"<a/>",
        many,
    };
    const wchar_t* const names[] = {L"id",  L"ID",   L"note", L"isSelected", L"isVisible", L"dlSize", L"big", L"word", L"e", L"bare",
                                    L"lone", L"n0",  L"n23",  L"n24",        L"n39",       L"missing", L"i",  L""};
    std::pmr::monotonic_buffer_resource arena;
    for (const std::wstring& tag : tags) {
        CXmlDocument doc(tag);
        ASSERT_TRUE(doc.FindElement(L"a"));
        const zv::core::ElementAttributes attributes(doc);
        for (const wchar_t* name : names) {
            std::wstring text = L"stale";
            attributes.Text(name, text);
            EXPECT_EQ(text, doc.GetAttribute(name)) << zv::ToUtf8(tag) << " " << zv::ToUtf8(name);
            EXPECT_EQ(attributes.Text(name), text) << zv::ToUtf8(name);
            // An item text: written straight from the document when nothing needs decoding.
            std::pmr::wstring itemText(L"stale", &arena);
            attributes.Text(name, itemText);
            EXPECT_EQ(std::wstring(itemText), text) << zv::ToUtf8(tag) << " " << zv::ToUtf8(name);
            EXPECT_EQ(attributes.Int(name), zv::core::IntAttribute(doc, name)) << zv::ToUtf8(tag) << " " << zv::ToUtf8(name);
        }
    }
    CXmlDocument doc(many);
    ASSERT_TRUE(doc.FindElement(L"a"));
    const zv::core::ElementAttributes attributes(doc);
    EXPECT_EQ(attributes.Int(L"n39"), 273);
    EXPECT_EQ(attributes.Text(L"id"), L"late");
}

TEST(ElementAttributes, NoElementGivesNothing)
{
    CXmlDocument doc(L"<a id=\"1\"/>");
    const zv::core::ElementAttributes attributes(doc); // the cursor is before the element
    EXPECT_EQ(attributes.Text(L"id"), L"");
    EXPECT_EQ(attributes.Int(L"id"), 0);
}

} // namespace
