#pragma once
// Recognises one markup construct of the XML reader's text, starting at a "<".
// Shared by the index pass and by the node walk of GetText.
#include <cstddef>

namespace zv::xml {

enum class Markup {
    StartTag,
    EmptyElementTag,
    EndTag,
    ProcessingInstruction,
    Comment,
    CdataSection,
    DocumentType,
    Incorrect,    // a character that starts no construct: the "<" is text
    Unterminated, // the text ends inside the construct
};

struct MarkupScan {
    Markup kind = Markup::Incorrect;
    size_t end = 0;     // one past the construct
    size_t nameLen = 0; // tags: length of the name (after "<" or "</")
    const wchar_t* what = L""; // problem wording for Incorrect and Unterminated
    size_t problemAt = 0;      // offset the problem message names
};

// text[pos] is "<"; nothing at or beyond end is read.
void ScanMarkup(const wchar_t* text, size_t pos, size_t end, MarkupScan& out);

// Offset of the first occurrence of the sequence in [from, end), or end.
size_t FindSequence(const wchar_t* text, size_t from, size_t end, const wchar_t* seq, size_t seqLen);

} // namespace zv::xml
