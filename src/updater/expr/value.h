#pragma once
// The tagged value of the expression language: the result of every evaluation, the
// payload of literal tokens and the content of the variable tables.
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace com_quorvane_value {

enum ValueKind : int {
    VK_EMPTY = 0,
    VK_INT = 1,
    VK_UINT = 2,
    VK_INT64 = 3,
    VK_TEXT = 4,
    VK_TEXTLIST = 5,
    VK_BLOB = 7,
    VK_VERSION = 8,
    VK_REAL = 10,
};

struct Version {
    uint16_t part[4] = {0, 0, 0, 0};
};

// Part by part from the first, the first difference deciding: -1, 0 or 1.
int CompareVersions(const Version& a, const Version& b);

class CValue {
public:
    CValue() = default;
    virtual ~CValue() = default;
    CValue(const CValue&) = default;
    CValue& operator=(const CValue& other)
    {
        // Copying into a table of values that mostly stay alike: the storage of an
        // empty text or blob on both sides need not be touched.
        m_kind = other.m_kind;
        m_num = other.m_num;
        m_version = other.m_version;
        if (!m_text.empty() || !other.m_text.empty()) m_text = other.m_text;
        if (!m_blob.empty() || !other.m_blob.empty()) m_blob = other.m_blob;
        return *this;
    }
    CValue(CValue&&) = default;
    CValue& operator=(CValue&&) = default;

    static CValue Int(int32_t v);
    static CValue UInt(uint32_t v);
    static CValue Int64(int64_t v);
    static CValue Text(std::wstring v);
    // A text list from its strings (each without terminator).
    static CValue TextList(const std::vector<std::wstring>& items);
    // A text list from a raw block of zero-terminated strings ending with an empty one.
    static CValue TextListBlock(std::wstring block);
    static CValue Blob(std::vector<uint8_t> bytes);
    static CValue MakeVersion(Version v);
    static CValue VersionFromText(const std::wstring& text);
    static CValue Real(double v);

    ValueKind Kind() const { return m_kind; }
    bool IsEmpty() const { return m_kind == VK_EMPTY; }
    void Clear() { *this = CValue(); }
    // The same kind and payload, bit for bit.
    bool SameAs(const CValue& other) const
    {
        return m_kind == other.m_kind && std::memcmp(&m_num, &other.m_num, sizeof m_num) == 0 &&
               CompareVersions(m_version, other.m_version) == 0 && m_text == other.m_text && m_blob == other.m_blob;
    }
    // Makes this an empty text and returns it to be filled in place, reusing its storage.
    std::wstring& MakeText()
    {
        m_kind = VK_TEXT;
        m_num = {};
        m_version = Version();
        m_blob.clear();
        m_text.clear();
        return m_text;
    }

    // Conversions used by the operators and the built-in functions.
    int32_t AsInt() const;
    uint32_t AsUInt() const;
    int64_t AsInt64() const;
    uint64_t AsUInt64() const;
    double AsReal() const;
    // Integers in decimal, text itself, a text list its first string, a version as
    // "a.b.c.d", a real with six decimals; empty and blob give an empty text.
    std::wstring AsText() const;
    Version AsVersion() const;

    // Raw payload access.
    const std::wstring& TextPayload() const { return m_text; }  // text, or the text list block
    const std::vector<uint8_t>& BlobPayload() const { return m_blob; }
    std::vector<std::wstring> TextListItems() const;

    // Splits at "." into at most four decimal parts; missing parts are 0.
    static Version ParseVersion(const std::wstring& text);

private:
    ValueKind m_kind = VK_EMPTY;
    union {
        int32_t i;
        uint32_t u;
        int64_t i64;
        double r;
    } m_num{};
    Version m_version;
    std::wstring m_text;
    std::vector<uint8_t> m_blob;
};

// Name to owned value; a null value is a name that is known but holds nothing.
using VariableTable = std::map<std::wstring, std::unique_ptr<CValue>>;

// Parts joined by ".", each in decimal: "2.40.40.1".
std::wstring DottedVersionText(const uint16_t* parts, size_t count);

// The name of a kind as zvtool prints it ("int", "text", ...).
const wchar_t* KindName(ValueKind kind);

} // namespace com_quorvane_value
