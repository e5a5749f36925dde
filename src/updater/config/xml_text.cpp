#include "updater/config/xml_text.h"

#include "updater/base/text_helpers.h"

#include <cstdint>
#include <cstring>

namespace zv::xml {

namespace {

// Length of the valid prefix of a multi-byte sequence starting at s[0] (a lead byte),
// or the full length when it is complete; cp receives the code point when complete.
size_t ReadSequence(const unsigned char* s, size_t avail, uint32_t& cp, bool& complete)
{
    unsigned char c = s[0];
    size_t need;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 2;
        cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 3;
        cp = c & 0x0Fu;
        if (c == 0xE0) lo = 0xA0;      // overlong
        else if (c == 0xED) hi = 0x9F; // UTF-16 surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 4;
        cp = c & 0x07u;
        if (c == 0xF0) lo = 0x90;      // overlong
        else if (c == 0xF4) hi = 0x8F; // above U+10FFFF
    } else {
        complete = false;
        return 1; // continuation byte, C0, C1 or F5..FF
    }
    size_t i = 1;
    for (; i < need; ++i) {
        if (i >= avail) break;
        unsigned char b = s[i];
        if (b < lo || b > hi) break;
        lo = 0x80;
        hi = 0xBF;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    complete = i == need;
    return i;
}

// A numeric reference at text[0] == '&', text[1] == '#'. Returns the characters it
// spans (0 when it is not one to decode) and appends its UTF-16 form.
size_t DecodeCharRef(const wchar_t* text, size_t length, std::wstring& out)
{
    // The number takes at most 7 characters: "x" and six hex digits, or seven decimal
    // digits, which covers every code point.
    constexpr size_t kMaxNumber = 7;
    size_t i = 2;
    bool hex = i < length && (text[i] == L'x');
    if (hex) ++i;
    size_t digitsStart = i;
    uint32_t code = 0;
    for (; i < length && i - 2 <= kMaxNumber; ++i) {
        if (text[i] == L';') break;
        int v = hex ? zv::HexDigitValue(text[i]) : (text[i] >= L'0' && text[i] <= L'9' ? text[i] - L'0' : -1);
        if (v < 0) return 0;
        code = code * (hex ? 16u : 10u) + static_cast<unsigned>(v);
    }
    if (i >= length || text[i] != L';' || i == digitsStart || i - 2 > kMaxNumber) return 0;
    // Code 0, surrogates and values beyond Unicode are no characters: left as written.
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    if (code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (code >> 10));
        out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<wchar_t>(code);
    }
    return i + 1;
}

bool Matches(const wchar_t* text, size_t length, const wchar_t* what, size_t n)
{
    return length >= n && SameChars(text, what, n);
}

} // namespace

bool DecodeUtf8(const char* bytes, size_t size, std::wstring& out, size_t maxChars)
{
    out.clear();
    if (!bytes || size == 0) return true;
    const void* zero = std::memchr(bytes, 0, size);
    if (zero) size = static_cast<size_t>(static_cast<const char*>(zero) - bytes);
    // Never more characters than bytes. Decoding goes through a small buffer, so the
    // text is written once (a sized string would be zero-filled first).
    out.reserve(size < maxChars ? size : maxChars);
    constexpr size_t kChunk = 4096;
    wchar_t buffer[kChunk];
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < size) {
        wchar_t* w = buffer;
        wchar_t* const wend = buffer + kChunk - 1; // room for a surrogate pair
        while (i < size && w < wend) {
            // Runs of ASCII, eight bytes at a time.
            while (i + 8 <= size && wend - w >= 8) {
                uint64_t v;
                std::memcpy(&v, s + i, 8);
                if (v & 0x8080808080808080ull) break;
                for (int k = 0; k < 8; ++k) w[k] = static_cast<wchar_t>(s[i + k]);
                w += 8;
                i += 8;
            }
            if (i >= size || w >= wend) break;
            unsigned char c = s[i];
            if (c < 0x80) {
                *w++ = static_cast<wchar_t>(c);
                ++i;
                continue;
            }
            uint32_t cp = 0;
            bool complete = false;
            i += ReadSequence(s + i, size - i, cp, complete);
            if (!complete) {
                *w++ = L'?';
            } else if (cp >= 0x10000) {
                cp -= 0x10000;
                *w++ = static_cast<wchar_t>(0xD800 + (cp >> 10));
                *w++ = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            } else {
                *w++ = static_cast<wchar_t>(cp);
            }
        }
        auto n = static_cast<size_t>(w - buffer);
        if (n > maxChars - out.size()) {
            out.clear();
            return false;
        }
        out.append(buffer, n);
    }
    return true;
}

void AppendDecoded(const wchar_t* text, size_t length, std::wstring& out)
{
    size_t i = 0;
    while (i < length) {
        const wchar_t* amp = FindChar(text + i, text + length, L'&');
        if (!amp) {
            out.append(text + i, length - i);
            return;
        }
        size_t a = static_cast<size_t>(amp - text);
        out.append(text + i, a - i);
        const wchar_t* p = text + a;
        size_t rest = length - a;
        size_t used = 0;
        // Spelled out: a loop over a table of the five entities made reading every
        // attribute of a large document about a tenth slower.
        if (Matches(p, rest, L"&lt;", 4)) {
            out += L'<';
            used = 4;
        } else if (Matches(p, rest, L"&gt;", 4)) {
            out += L'>';
            used = 4;
        } else if (Matches(p, rest, L"&amp;", 5)) {
            out += L'&';
            used = 5;
        } else if (Matches(p, rest, L"&apos;", 6)) {
            out += L'\'';
            used = 6;
        } else if (Matches(p, rest, L"&quot;", 6)) {
            out += L'"';
            used = 6;
        } else if (rest > 2 && p[1] == L'#') {
            used = DecodeCharRef(p, rest, out);
        }
        if (used == 0) {
            out += L'&';
            used = 1;
        }
        i = a + used;
    }
}

std::wstring Escape(const wchar_t* text, bool forAttribute)
{
    std::wstring out;
    if (!text) return out;
    for (const wchar_t* p = text; *p; ++p) {
        switch (*p) {
        case L'<': out += L"&lt;"; break;
        case L'&': out += L"&amp;"; break;
        case L'>': out += L"&gt;"; break;
        case L'\'':
            if (forAttribute) out += L"&apos;";
            else out += *p;
            break;
        case L'"':
            if (forAttribute) out += L"&quot;";
            else out += *p;
            break;
        default: out += *p;
        }
    }
    return out;
}

} // namespace zv::xml
