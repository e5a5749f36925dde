#include "updater/expr/value.h"

#include "updater/base/text_helpers.h"

#include <cwchar>

namespace com_quorvane_value {

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

// Sign and magnitude of the leading decimal digits; the magnitude saturates.
struct Leading {
    bool negative = false;
    bool any = false;
    bool overflow = false;
    uint64_t magnitude = 0;
};

Leading ReadLeading(const std::wstring& text)
{
    Leading r;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        r.negative = text[i] == L'-';
        ++i;
    }
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        r.any = true;
        uint64_t d = static_cast<uint64_t>(text[i] - L'0');
        if (r.magnitude > (UINT64_MAX - d) / 10) {
            r.overflow = true;
            r.magnitude = UINT64_MAX;
        } else if (!r.overflow) {
            r.magnitude = r.magnitude * 10 + d;
        }
    }
    if (!r.any) r.negative = false;
    return r;
}

} // namespace

uint32_t ReadLeadingUInt(const std::wstring& text)
{
    Leading l = ReadLeading(text);
    if (l.magnitude > UINT32_MAX) return UINT32_MAX;
    uint32_t m = static_cast<uint32_t>(l.magnitude);
    return l.negative ? 0u - m : m;
}

int64_t ReadLeadingInt64(const std::wstring& text)
{
    Leading l = ReadLeading(text);
    if (l.negative) return l.magnitude > 9223372036854775808ull ? INT64_MIN : static_cast<int64_t>(0ull - l.magnitude);
    return l.magnitude > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(l.magnitude);
}

uint64_t ReadLeadingUInt64(const std::wstring& text)
{
    Leading l = ReadLeading(text);
    if (l.overflow) return UINT64_MAX;
    return l.negative ? 0ull - l.magnitude : l.magnitude;
}

CValue CValue::Int(int32_t v)
{
    CValue c;
    c.m_kind = VK_INT;
    c.m_num.i = v;
    return c;
}

CValue CValue::UInt(uint32_t v)
{
    CValue c;
    c.m_kind = VK_UINT;
    c.m_num.u = v;
    return c;
}

CValue CValue::Int64(int64_t v)
{
    CValue c;
    c.m_kind = VK_INT64;
    c.m_num.i64 = v;
    return c;
}

CValue CValue::Text(std::wstring v)
{
    CValue c;
    c.m_kind = VK_TEXT;
    c.m_text = std::move(v);
    return c;
}

CValue CValue::TextList(const std::vector<std::wstring>& items)
{
    std::wstring block;
    for (const auto& s : items) {
        block += s;
        block += L'\0';
    }
    block += L'\0';
    return TextListBlock(std::move(block));
}

CValue CValue::TextListBlock(std::wstring block)
{
    CValue c;
    c.m_kind = VK_TEXTLIST;
    // The block always ends with an empty string, even when the source forgot it.
    if (block.size() < 2 || block[block.size() - 1] != L'\0' || block[block.size() - 2] != L'\0') {
        if (block.empty() || block.back() != L'\0') block += L'\0';
        block += L'\0';
    }
    c.m_text = std::move(block);
    return c;
}

CValue CValue::Blob(std::vector<uint8_t> bytes)
{
    CValue c;
    c.m_kind = VK_BLOB;
    c.m_blob = std::move(bytes);
    return c;
}

CValue CValue::MakeVersion(Version v)
{
    CValue c;
    c.m_kind = VK_VERSION;
    c.m_version = v;
    return c;
}

CValue CValue::VersionFromText(const std::wstring& text)
{
    return MakeVersion(ParseVersion(text));
}

CValue CValue::Real(double v)
{
    CValue c;
    c.m_kind = VK_REAL;
    c.m_num.r = v;
    return c;
}

int CompareVersions(const Version& a, const Version& b)
{
    for (int i = 0; i < 4; ++i)
        if (a.part[i] != b.part[i]) return a.part[i] < b.part[i] ? -1 : 1;
    return 0;
}

Version CValue::ParseVersion(const std::wstring& text)
{
    Version v;
    size_t start = 0;
    for (int part = 0; part < 4 && start <= text.size(); ++part) {
        size_t dot = text.find(L'.', start);
        std::wstring piece = text.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start);
        v.part[part] = static_cast<uint16_t>(zv::ReadDecimal(piece));
        if (dot == std::wstring::npos) break;
        start = dot + 1;
    }
    return v;
}

int32_t CValue::AsInt() const
{
    switch (m_kind) {
    case VK_INT: return m_num.i;
    case VK_UINT: return static_cast<int32_t>(m_num.u);
    case VK_INT64: return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(m_num.i64)));
    case VK_TEXT: return zv::ReadDecimal(m_text);
    case VK_VERSION: return m_version.part[0];
    default: return 0;
    }
}

uint32_t CValue::AsUInt() const
{
    switch (m_kind) {
    case VK_INT: return static_cast<uint32_t>(m_num.i);
    case VK_UINT: return m_num.u;
    case VK_INT64: return static_cast<uint32_t>(static_cast<uint64_t>(m_num.i64));
    case VK_TEXT: return ReadLeadingUInt(m_text);
    case VK_VERSION: return m_version.part[0];
    default: return 0;
    }
}

int64_t CValue::AsInt64() const
{
    switch (m_kind) {
    case VK_INT: return m_num.i;
    case VK_UINT: return m_num.u;
    case VK_INT64: return m_num.i64;
    case VK_TEXT: return ReadLeadingInt64(m_text);
    case VK_VERSION: return m_version.part[0];
    default: return 0;
    }
}

uint64_t CValue::AsUInt64() const
{
    if (m_kind == VK_TEXT) return ReadLeadingUInt64(m_text);
    return static_cast<uint64_t>(AsInt64());
}

double CValue::AsReal() const
{
    switch (m_kind) {
    case VK_INT: return m_num.i;
    case VK_UINT: return m_num.u;
    case VK_INT64: return static_cast<double>(m_num.i64);
    case VK_REAL: return m_num.r;
    case VK_VERSION: return m_version.part[0];
    case VK_TEXT: {
        double d = 0;
        if (std::swscanf(m_text.c_str(), L"%lf", &d) != 1) return 0;
        return d;
    }
    default: return 0;
    }
}

std::wstring CValue::AsText() const
{
    switch (m_kind) {
    case VK_INT: return std::to_wstring(m_num.i);
    case VK_UINT: return std::to_wstring(m_num.u);
    case VK_INT64: return std::to_wstring(m_num.i64);
    case VK_TEXT: return m_text;
    case VK_TEXTLIST: return std::wstring(m_text.c_str());
    case VK_VERSION:
        return zv::Format(64, L"%u.%u.%u.%u", m_version.part[0], m_version.part[1], m_version.part[2], m_version.part[3]);
    case VK_REAL:
        // Infinities and NaN print as the C library spells them.
        return zv::Format(400, L"%lf", m_num.r);
    default: return std::wstring();
    }
}

Version CValue::AsVersion() const
{
    switch (m_kind) {
    case VK_VERSION: return m_version;
    case VK_TEXT: return ParseVersion(m_text);
    case VK_INT:
    case VK_UINT:
    case VK_INT64: {
        // An integer n compares as the version n.0.0.0.
        Version v;
        v.part[0] = static_cast<uint16_t>(AsUInt());
        return v;
    }
    default: return Version();
    }
}

std::vector<std::wstring> CValue::TextListItems() const
{
    std::vector<std::wstring> items;
    if (m_kind != VK_TEXTLIST) return items;
    size_t pos = 0;
    while (pos < m_text.size()) {
        size_t end = m_text.find(L'\0', pos);
        if (end == std::wstring::npos) end = m_text.size();
        if (end == pos) break;
        items.push_back(m_text.substr(pos, end - pos));
        pos = end + 1;
    }
    return items;
}

const wchar_t* KindName(ValueKind kind)
{
    switch (kind) {
    case VK_EMPTY: return L"empty";
    case VK_INT: return L"int";
    case VK_UINT: return L"uint";
    case VK_INT64: return L"int64";
    case VK_TEXT: return L"text";
    case VK_TEXTLIST: return L"textlist";
    case VK_BLOB: return L"blob";
    case VK_VERSION: return L"version";
    case VK_REAL: return L"real";
    }
    return L"unknown";
}

} // namespace com_quorvane_value
