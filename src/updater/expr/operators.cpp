#include "updater/expr/operators.h"

#include "updater/expr/expression.h"

namespace zv::expr {

using com_quorvane_value::CValue;
using namespace com_quorvane_value;

namespace {

// Wrapping 32-bit arithmetic without signed overflow.
int32_t Wrap(uint32_t v)
{
    return static_cast<int32_t>(v);
}

int64_t Wrap64(uint64_t v)
{
    return static_cast<int64_t>(v);
}

template <typename T>
int Ordered(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool FromOrder(int op, int order)
{
    switch (op) {
    case OP_EQ: return order == 0;
    case OP_NE: return order != 0;
    case OP_GT: return order > 0;
    case OP_GE: return order >= 0;
    case OP_LT: return order < 0;
    case OP_LE: return order <= 0;
    }
    return false;
}

bool CompareReals(int op, double a, double b)
{
    switch (op) {
    case OP_EQ: return a == b;
    case OP_NE: return a != b;
    case OP_GT: return a > b;
    case OP_GE: return a >= b;
    case OP_LT: return a < b;
    case OP_LE: return a <= b;
    }
    return false;
}

bool Compare(int op, const CValue& l, const CValue& r)
{
    switch (l.Kind()) {
    case VK_INT: return FromOrder(op, Ordered(l.AsInt(), r.AsInt()));
    case VK_UINT: return FromOrder(op, Ordered(l.AsUInt(), r.AsUInt()));
    case VK_INT64: return FromOrder(op, Ordered(l.AsUInt64(), r.AsUInt64()));
    case VK_REAL: return CompareReals(op, l.AsReal(), r.AsReal());
    case VK_TEXT: return FromOrder(op, Ordered(l.TextPayload(), r.AsText()));
    case VK_VERSION: return FromOrder(op, CompareVersions(l.AsVersion(), r.AsVersion()));
    default: return FromOrder(op, 0);
    }
}

int Add(CValue& l, const CValue& r, size_t maxText)
{
    switch (l.Kind()) {
    case VK_INT: l = CValue::Int(Wrap(l.AsUInt() + r.AsUInt())); break;
    case VK_UINT: l = CValue::UInt(l.AsUInt() + r.AsUInt()); break;
    case VK_INT64: l = CValue::Int64(Wrap64(l.AsUInt64() + static_cast<uint64_t>(r.AsInt64()))); break;
    case VK_REAL: l = CValue::Real(l.AsReal() + r.AsReal()); break;
    case VK_TEXT: {
        std::wstring rt = r.AsText();
        if (l.TextPayload().size() + rt.size() > maxText) return ERR_NOMEM;
        l = CValue::Text(l.TextPayload() + rt);
        break;
    }
    default: break;
    }
    return ERR_OK;
}

int Subtract(CValue& l, const CValue& r)
{
    switch (l.Kind()) {
    case VK_INT: l = CValue::Int(Wrap(l.AsUInt() - r.AsUInt())); break;
    case VK_UINT: l = CValue::UInt(l.AsUInt() - r.AsUInt()); break;
    case VK_INT64: l = CValue::Int64(Wrap64(l.AsUInt64() - static_cast<uint64_t>(r.AsInt64()))); break;
    case VK_REAL: l = CValue::Real(l.AsReal() - r.AsReal()); break;
    case VK_TEXT: {
        std::wstring needle = r.AsText();
        if (needle.empty()) break;
        std::wstring out;
        const std::wstring& s = l.TextPayload();
        size_t pos = 0;
        for (size_t hit; (hit = s.find(needle, pos)) != std::wstring::npos; pos = hit + needle.size())
            out.append(s, pos, hit - pos);
        out.append(s, pos, std::wstring::npos);
        l = CValue::Text(std::move(out));
        break;
    }
    default: break;
    }
    return ERR_OK;
}

int Multiply(CValue& l, const CValue& r, size_t maxText)
{
    switch (l.Kind()) {
    case VK_INT: l = CValue::Int(Wrap(l.AsUInt() * r.AsUInt())); break;
    case VK_UINT: l = CValue::UInt(l.AsUInt() * r.AsUInt()); break;
    case VK_REAL: l = CValue::Real(l.AsReal() * r.AsReal()); break;
    case VK_TEXT: {
        int32_t n = r.AsInt();
        if (n > 10) n = 10;
        std::wstring out;
        if (n > 0) {
            if (l.TextPayload().size() * static_cast<size_t>(n) > maxText) return ERR_NOMEM;
            for (int32_t i = 0; i < n; ++i) out += l.TextPayload();
        }
        l = CValue::Text(std::move(out));
        break;
    }
    default: l.Clear(); break;
    }
    return ERR_OK;
}

int Divide(CValue& l, const CValue& r, bool remainder)
{
    if (r.AsInt() == 0) return ERR_DIV_ZERO;
    switch (l.Kind()) {
    case VK_INT: {
        int32_t a = l.AsInt(), b = r.AsInt();
        // INT_MIN / -1 does not fit: wrap as the processor's result would.
        if (b == -1) l = CValue::Int(remainder ? 0 : Wrap(0u - static_cast<uint32_t>(a)));
        else l = CValue::Int(remainder ? a % b : a / b);
        break;
    }
    case VK_UINT: {
        uint32_t b = r.AsUInt();
        if (b == 0) return ERR_DIV_ZERO;
        l = CValue::UInt(remainder ? l.AsUInt() % b : l.AsUInt() / b);
        break;
    }
    case VK_REAL:
        if (remainder) l.Clear();
        else l = CValue::Real(l.AsReal() / r.AsReal());
        break;
    default: l.Clear(); break;
    }
    return ERR_OK;
}

int Bitwise(int op, CValue& l, const CValue& r)
{
    if (l.Kind() != VK_INT && l.Kind() != VK_UINT) {
        l.Clear();
        return ERR_OK;
    }
    uint32_t a = l.AsUInt(), b = r.AsUInt();
    uint32_t v = op == OP_XOR ? (a ^ b) : op == OP_BAND ? (a & b) : (a | b);
    l = l.Kind() == VK_INT ? CValue::Int(Wrap(v)) : CValue::UInt(v);
    return ERR_OK;
}

} // namespace

int ApplyOperator(int op, CValue& left, const CValue& right, size_t maxTextChars)
{
    switch (op) {
    case OP_ADD: return Add(left, right, maxTextChars);
    case OP_SUB: return Subtract(left, right);
    case OP_MUL: return Multiply(left, right, maxTextChars);
    case OP_DIV: return Divide(left, right, false);
    case OP_MOD: return Divide(left, right, true);
    case OP_XOR:
    case OP_BAND:
    case OP_BOR: return Bitwise(op, left, right);
    case OP_LAND: left = CValue::Int(left.AsInt() != 0 && right.AsInt() != 0); return ERR_OK;
    case OP_LOR: left = CValue::Int(left.AsInt() != 0 || right.AsInt() != 0); return ERR_OK;
    case OP_EQ:
    case OP_NE:
    case OP_GT:
    case OP_GE:
    case OP_LT:
    case OP_LE: left = CValue::Int(Compare(op, left, right) ? 1 : 0); return ERR_OK;
    }
    return ERR_SYNTAX;
}

} // namespace zv::expr
