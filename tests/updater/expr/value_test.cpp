#include "updater/expr/value.h"

#include "updater/expr/expression.h"
#include "updater/expr/operators.h"
#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

#include <climits>

using namespace com_quorvane_value;

namespace {

TEST(CValue, IntegerFormOfEveryKind)
{
    struct Case {
        CValue v;
        int32_t asInt;
        uint32_t asUInt;
        int64_t asInt64;
    } cases[] = {
        {CValue(), 0, 0, 0},
        {CValue::Int(-5), -5, 0xFFFFFFFBu, -5},
        {CValue::UInt(0xFFFFFFFFu), -1, 0xFFFFFFFFu, 0xFFFFFFFFll},
        {CValue::Int64(0x100000007ll), 7, 7, 0x100000007ll},
        {CValue::Text(L"  42abc"), 42, 42, 42},
        {CValue::Text(L"-17"), -17, 0xFFFFFFEFu, -17},
        {CValue::Text(L"x12"), 0, 0, 0},
        {CValue::Text(L"99999999999"), INT32_MAX, UINT32_MAX, 99999999999ll},
        {CValue::Text(L"-99999999999"), INT32_MIN, UINT32_MAX, -99999999999ll},
        {CValue::Text(L"99999999999999999999999"), INT32_MAX, UINT32_MAX, INT64_MAX},
        {CValue::VersionFromText(L"6.1.7601"), 6, 6, 6},
        {CValue::Real(2.9), 0, 0, 0},
        {CValue::TextList({L"5", L"6"}), 0, 0, 0},
        {CValue::Blob({1, 2}), 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.v.AsInt(), c.asInt) << zv::ToUtf8(c.v.AsText());
        EXPECT_EQ(c.v.AsUInt(), c.asUInt) << zv::ToUtf8(c.v.AsText());
        EXPECT_EQ(c.v.AsInt64(), c.asInt64) << zv::ToUtf8(c.v.AsText());
    }
}

TEST(CValue, RealAndTextForms)
{
    EXPECT_DOUBLE_EQ(CValue::Text(L"1.25xyz").AsReal(), 1.25);
    EXPECT_DOUBLE_EQ(CValue::Text(L"abc").AsReal(), 0.0);
    EXPECT_DOUBLE_EQ(CValue::Int(-3).AsReal(), -3.0);
    EXPECT_DOUBLE_EQ(CValue::VersionFromText(L"5.2").AsReal(), 5.0);
    EXPECT_DOUBLE_EQ(CValue::Blob({1}).AsReal(), 0.0);

    struct Case {
        CValue v;
        const wchar_t* text;
    } cases[] = {
        {CValue::Int(-12), L"-12"},
        {CValue::UInt(4000000000u), L"4000000000"},
        {CValue::Int64(-9000000000ll), L"-9000000000"},
        {CValue::Real(3.14), L"3.140000"},
        {CValue::Text(L"abc"), L"abc"},
        {CValue::TextList({L"first", L"second"}), L"first"},
        {CValue::VersionFromText(L"1.2"), L"1.2.0.0"},
        {CValue::VersionFromText(L"1.2.3.4.5"), L"1.2.3.4"},
        {CValue(), L""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.AsText(), c.text);
}

TEST(CValue, CopiesAreDeepAndSelfAssignmentKeepsTheValue)
{
    CValue a = CValue::TextList({L"a", L"b"});
    CValue b = a;
    a = CValue::Text(L"changed");
    EXPECT_EQ(b.Kind(), VK_TEXTLIST);
    ASSERT_EQ(b.TextListItems().size(), 2u);
    EXPECT_EQ(b.TextListItems()[1], L"b");
    CValue& alias = b;
    b = alias;
    EXPECT_EQ(b.TextListItems().size(), 2u);
}

TEST(CValue, VersionsComparePartByPartAsNumbers)
{
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int order;
    } cases[] = {
        {L"1.2.3.4", L"1.2.3.4", 0}, {L"1.2.3.4", L"1.2.3.5", -1}, {L"2", L"1.9.9.9", 1},
        {L"1.10", L"1.9", 1},        {L"1.2", L"1.2.0.0", 0},      {L"0.0.0.1", L"", 1},
    };
    for (const auto& c : cases) {
        Version a = CValue::ParseVersion(c.a), b = CValue::ParseVersion(c.b);
        EXPECT_EQ(CompareVersions(a, b), c.order) << zv::ToUtf8(c.a) << " vs " << zv::ToUtf8(c.b);
        EXPECT_EQ(CompareVersions(b, a), -c.order) << zv::ToUtf8(c.a) << " vs " << zv::ToUtf8(c.b);
    }
    // A version on the left of a comparison reads the right operand as a version too.
    struct OpCase {
        int op;
        CValue right;
        int32_t result;
    } ops[] = {
        {OP_LT, CValue::Text(L"1.10"), 1}, {OP_GT, CValue::Text(L"1.10"), 0}, {OP_EQ, CValue::Text(L"1.2.0.0"), 1},
        {OP_LT, CValue::Int(2), 1},        {OP_GE, CValue::Int(1), 1},        {OP_NE, CValue::Int(1), 1},
    };
    for (const auto& o : ops) {
        CValue left = CValue::VersionFromText(L"1.2");
        ASSERT_EQ(zv::expr::ApplyOperator(o.op, left, o.right, 1000), ERR_OK);
        EXPECT_EQ(left.Kind(), VK_INT);
        EXPECT_EQ(left.AsInt(), o.result) << o.op << " " << zv::ToUtf8(o.right.AsText());
    }
}

TEST(CValue, TextListBlockIsAlwaysTerminated)
{
    CValue v = CValue::TextListBlock(std::wstring(L"a\0b", 3));
    ASSERT_EQ(v.TextListItems().size(), 2u);
    EXPECT_EQ(v.TextPayload().size(), 5u);
}
}
