#include "updater/config/xml_scanner.h"

#include "updater/config/xml_text.h"

#include <cwchar>

namespace zv::xml {

namespace {

bool EndsName(wchar_t c)
{
    return IsXmlSpace(c) || c == L'/' || c == L'>';
}

// Offset of the first ">" at or after from that is not inside quotes, or end.
size_t FindTagEnd(const wchar_t* text, size_t from, size_t end)
{
    size_t i = from;
    while (i < end) {
        wchar_t c = text[i];
        if (c == L'>') return i;
        if (c == L'"' || c == L'\'') {
            const wchar_t* q = std::wmemchr(text + i + 1, c, end - i - 1);
            if (!q) return end;
            i = static_cast<size_t>(q - text) + 1;
            continue;
        }
        ++i;
    }
    return end;
}

void Fail(MarkupScan& out, Markup kind, const wchar_t* what, size_t at, size_t end)
{
    out.kind = kind;
    out.what = what;
    out.problemAt = at;
    out.end = end;
}

void ScanDocumentType(const wchar_t* text, size_t pos, size_t end, MarkupScan& out)
{
    size_t i = pos + 2;
    while (i < end) {
        wchar_t c = text[i];
        if (c == L'>') {
            out.kind = Markup::DocumentType;
            out.end = i + 1;
            return;
        }
        if (c == L'"' || c == L'\'') {
            const wchar_t* q = std::wmemchr(text + i + 1, c, end - i - 1);
            if (!q) break;
            i = static_cast<size_t>(q - text) + 1;
            continue;
        }
        if (c == L'<' && i + 2 < end && text[i + 1] == L'!') {
            wchar_t d = text[i + 2];
            if (d == L'E' || d == L'A' || d == L'N') {
                size_t close = FindTagEnd(text, i + 2, end);
                if (close == end) break;
                i = close + 1;
                continue;
            }
            if (d == L'-' && i + 3 < end && text[i + 3] == L'-') {
                size_t close = FindSequence(text, i + 4, end, L"-->", 3);
                if (close == end) break;
                i = close + 3;
                continue;
            }
        }
        ++i;
    }
    Fail(out, Markup::Unterminated, L"Doctype", pos, end);
}

} // namespace

size_t FindSequence(const wchar_t* text, size_t from, size_t end, const wchar_t* seq, size_t seqLen)
{
    size_t i = from;
    while (i + seqLen <= end) {
        const wchar_t* p = std::wmemchr(text + i, seq[0], end - i - seqLen + 1);
        if (!p) return end;
        i = static_cast<size_t>(p - text);
        if (SameChars(p, seq, seqLen)) return i;
        ++i;
    }
    return end;
}

void ScanMarkup(const wchar_t* text, size_t pos, size_t end, MarkupScan& out)
{
    out.nameLen = 0;
    if (pos + 1 >= end) return Fail(out, Markup::Unterminated, L"tag", pos, end);
    wchar_t c = text[pos + 1];
    if (IsNameStart(c)) {
        size_t i = pos + 2;
        while (i < end && !EndsName(text[i])) ++i;
        out.nameLen = i - pos - 1;
        size_t close = FindTagEnd(text, i, end);
        if (close == end) return Fail(out, Markup::Unterminated, L"Element tag", pos, end);
        out.kind = text[close - 1] == L'/' ? Markup::EmptyElementTag : Markup::StartTag;
        out.end = close + 1;
        return;
    }
    switch (c) {
    case L'/': {
        size_t i = pos + 2;
        while (i < end && !IsXmlSpace(text[i]) && text[i] != L'>') ++i;
        out.nameLen = i - pos - 2;
        const wchar_t* close = i < end ? std::wmemchr(text + i, L'>', end - i) : nullptr;
        if (!close) return Fail(out, Markup::Unterminated, L"Element end tag", pos, end);
        out.kind = Markup::EndTag;
        out.end = static_cast<size_t>(close - text) + 1;
        return;
    }
    case L'?': {
        size_t close = FindSequence(text, pos + 2, end, L"?>", 2);
        if (close == end) return Fail(out, Markup::Unterminated, L"Processing instruction", pos, end);
        out.kind = Markup::ProcessingInstruction;
        out.end = close + 2;
        return;
    }
    case L'!':
        break;
    default:
        return Fail(out, Markup::Incorrect, L"tag name character", pos + 1, pos + 1);
    }
    if (pos + 2 >= end) return Fail(out, Markup::Unterminated, L"tag", pos, end);
    switch (text[pos + 2]) {
    case L'-': {
        if (pos + 3 >= end) return Fail(out, Markup::Unterminated, L"Comment", pos, end);
        if (text[pos + 3] != L'-') return Fail(out, Markup::Incorrect, L"comment tag", pos + 3, pos + 1);
        size_t close = FindSequence(text, pos + 4, end, L"-->", 3);
        if (close == end) return Fail(out, Markup::Unterminated, L"Comment", pos, end);
        out.kind = Markup::Comment;
        out.end = close + 3;
        return;
    }
    case L'[': {
        if (pos + 3 >= end) return Fail(out, Markup::Unterminated, L"tag", pos, end);
        if (text[pos + 3] != L'C') return Fail(out, Markup::Incorrect, L"tag", pos + 3, pos + 1);
        // "<![CDATA[": only the C is looked at; the content starts after nine characters.
        size_t close = pos + 9 <= end ? FindSequence(text, pos + 9, end, L"]]>", 3) : end;
        if (close == end) return Fail(out, Markup::Unterminated, L"CDATA Section", pos, end);
        out.kind = Markup::CdataSection;
        out.end = close + 3;
        return;
    }
    case L'D':
        return ScanDocumentType(text, pos, end, out);
    default:
        return Fail(out, Markup::Incorrect, L"! tag", pos + 2, pos + 1);
    }
}

} // namespace zv::xml
