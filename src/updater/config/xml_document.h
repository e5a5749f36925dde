#pragma once
// A tolerant XML reader: the document is held as wide text with an index of its
// elements built in one pass, and walked with a cursor. It never throws; the first
// problem of a load is kept as a message (GetResultText), and an ill-formed document
// can still be navigated. One thread at a time: even reading moves the cursor or
// fills a cache, so threads work on copies.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum XmlNodeKind : int {
    XML_NODE_NONE = 0,
    XML_NODE_ELEMENT = 1,
    XML_NODE_TEXT = 2,
    XML_NODE_WHITESPACE = 4,
    XML_NODE_CDATA_SECTION = 8,
    XML_NODE_PROCESSING_INSTRUCTION = 16,
    XML_NODE_COMMENT = 32,
    XML_NODE_DOCUMENT_TYPE = 64,
    XML_NODE_LONE_END_TAG = 128,
};

class CXmlDocument {
public:
    // Offsets are 32-bit and printed as ints: a document never exceeds this many
    // characters. Hosts may lower the limit for untrusted input (SetCapacityLimit).
    static constexpr size_t kMaxChars = 0x7FFFFFFF;

    CXmlDocument();
    explicit CXmlDocument(const wchar_t* text);
    explicit CXmlDocument(const std::wstring& text);

    // Replaces the document (null gives an empty one), parses it and resets the
    // cursor. Returns IsWellFormed().
    bool SetText(const wchar_t* text);
    bool SetText(const std::wstring& text);
    // Reads the file whole and decodes it as UTF-8, then parses as SetText. False when
    // it cannot be read or is not well formed.
    bool LoadFile(const std::wstring& path);
    // The same decoding and parse for bytes already in memory.
    bool LoadUtf8(const char* bytes, size_t size);

    bool IsWellFormed() const;
    const std::wstring& GetResultText() const { return m_result; }
    // The whole text, edits included (closes the edit gap: linear in the text after it).
    const std::wstring& GetDocumentText() const;
    // Largest document, in characters, that loads; at most kMaxChars.
    void SetCapacityLimit(size_t maxChars);
    // Memory held by the element index, in bytes.
    size_t IndexBytes() const { return m_elems.capacity() * sizeof(ElemRec); }

    // Work done since the last load, for tests and benchmarks: parse messages formatted,
    // and characters and index records moved to make room for edits.
    struct WorkCounts {
        size_t formattedMessages = 0;
        size_t movedChars = 0;
        size_t movedRecords = 0;
    };
    const WorkCounts& Work() const { return m_work; }

    // Cursor.
    void ResetPosition();
    bool FindElement(const wchar_t* name = nullptr);
    bool FindChildElement(const wchar_t* name = nullptr);
    bool EnterElement();
    bool LeaveElement();
    bool SavePosition(const wchar_t* name);
    bool RestorePosition(const wchar_t* name);
    // The cursor as a value, for a reader that comes back to many places: cheaper than a
    // named position each. Valid while the document is not loaded again.
    struct Mark {
        uint32_t parent = 0, main = 0, child = 0;
    };
    Mark GetMark() const { return {m_pos.parent, m_pos.main, m_pos.child}; }
    void GoToMark(const Mark& mark);
    // The name of the child element found last, as a view into the document (valid until
    // it is edited or loaded again); empty when there is none.
    std::wstring_view ChildNameView() const;
    // The main element's start tag between its name and its closing ">", where its
    // attributes are written, as such a view; empty when there is none or the cursor is
    // on another node.
    std::wstring_view AttributeTextView() const;

    // Reading at the cursor. The overloads with an out parameter reuse its storage.
    std::wstring GetName() const;
    void GetName(std::wstring& out) const;
    std::wstring GetText() const;
    void GetText(std::wstring& out) const;
    std::wstring GetAttribute(const wchar_t* name) const;
    void GetAttribute(const wchar_t* name, std::wstring& out) const;
    std::wstring GetAttributeName(int n) const;
    bool GetAttributeName(int n, std::wstring& out) const;
    std::wstring GetInnerMarkup() const;
    void GetInnerMarkup(std::wstring& out) const;
    // The main element's name and inner markup as views into the document, for readers
    // that only compare or copy them once: valid until the next call on the document.
    // Empty where GetName or GetInnerMarkup would not give the main element's.
    std::wstring_view GetNameView() const;
    std::wstring_view GetInnerMarkupView() const;

    // Every attribute of an element in one scan, for readers that look up many: names
    // and raw values (entities still written out) as views into the document, valid
    // until it is edited or loaded again.
    struct AttributeView {
        std::wstring_view name;
        std::wstring_view rawValue;
    };
    // The attributes of the main element or current processing instruction, in document
    // order: the first capacity of them into out. Returns how many there are (0 when
    // there is neither), so a caller with too little room can ask again.
    size_t GetAttributes(AttributeView* out, size_t capacity) const;
    // A raw value with its entity and character references replaced, into out.
    static void DecodeAttributeValue(std::wstring_view rawValue, std::wstring& out);

    // Edits. InsertNode puts the node right after the current node (element or
    // inserted node) inside the parent position, or first inside the parent when
    // there is none, and makes it the current node; an element is written as an
    // empty-element tag named text.
    bool InsertNode(XmlNodeKind kind, const wchar_t* text);
    bool SetAttribute(const wchar_t* name, const wchar_t* value);

private:
    enum : uint32_t {
        kIllFormed = 1,        // the element itself has a problem
        kParentIllFormed = 2,  // one of its children has a problem
        kEndTagMissing = 4,
    };
    struct ElemRec {
        uint32_t start = 0;       // offset of "<" in the buffer (Start gives the text offset)
        uint32_t length = 0;      // start tag to end of end tag
        uint32_t startTagLen = 0; // equals length for an empty-element tag
        uint32_t endTagLen = 0;   // 0 for an empty-element tag or a missing end tag
        uint32_t nameLen = 0;
        uint32_t parent = 0;
        uint32_t firstChild = 0;
        uint32_t next = 0;
        uint32_t prev = 0; // of the first child: the last child
        uint32_t flags = 0;
    };
    // Child sits between parent and main: entering an element copies child into main
    // just after a search has stored child alone, and as neighbours the two would be
    // read as one wide load that waits for that narrow store.
    struct Position {
        uint32_t parent = 0;
        uint32_t child = 0;
        uint32_t main = 0;
    };
    struct Node {
        XmlNodeKind kind = XML_NODE_NONE;
        uint32_t offset = 0;
        uint32_t length = 0;
    };
    class Parser;

    // "<a/>": the start tag is the whole element.
    static bool IsEmptyElementTag(const ElemRec& r) { return r.startTagLen == r.length && !(r.flags & kEndTagMissing); }

    bool Load(std::wstring&& text, const std::wstring& loadMessage);
    bool LoadText(const wchar_t* text, size_t length);
    // Leaves an empty document with message as the result; returns false.
    bool Refuse(std::wstring message);
    void Parse();
    void AppendChild(uint32_t parent, uint32_t child);
    uint32_t NextMatching(uint32_t from, const wchar_t* name) const;
    std::wstring_view ElementName(uint32_t elem) const;
    bool NameEquals(uint32_t elem, const wchar_t* name, size_t len) const;
    // True for a null or empty name too.
    bool NameIs(uint32_t elem, const wchar_t* name) const;
    struct AttributeSpan {
        size_t nameAt = 0;
        size_t nameLen = 0;
        size_t valueAt = 0; // raw value, without quotes
        size_t valueLen = 0;
        size_t end = 0; // past the value and its closing quote
    };
    // The attributes of the tag at [tagStart, tagStart + tagLength), whose name takes
    // nameSkip characters.
    void ScanAttributes(size_t tagStart, size_t tagLength, size_t nameSkip, std::vector<AttributeSpan>& out) const;
    // The attributes of the main element or current processing instruction; null
    // when there is neither.
    const std::vector<AttributeSpan>* CurrentAttributes() const;
    const AttributeSpan* FindAttribute(const std::vector<AttributeSpan>& spans, const wchar_t* name) const;
    void ContentText(size_t from, size_t to, std::wstring& out) const;
    bool Replace(size_t at, size_t removed, const std::wstring& added, uint32_t growing);
    void LinkInOrder(uint32_t parent, uint32_t child);

    // Edits go through a gap in the buffer: text after the gap, and the records that
    // start there, keep their buffer offsets while the gap takes insertions, so a run of
    // edits moves each character and record about once instead of once per edit.
    size_t TextSize() const { return m_text.size() - m_gapLen; }
    size_t Start(uint32_t elem) const
    {
        size_t s = m_elems[elem].start;
        return s >= m_gapAt ? s - m_gapLen : s;
    }
    // A base for reading text offsets [from, to): base[i] is the character at offset i.
    // Moves the gap out of the range when it lies inside.
    const wchar_t* Chars(size_t from, size_t to) const
    {
        if (to <= m_gapAt) return m_text.data();
        return from >= m_gapAt ? m_text.data() + m_gapLen : CharsAcrossGap(from, to);
    }
    const wchar_t* CharsAcrossGap(size_t from, size_t to) const;
    void MoveGap(size_t to) const;
    // Makes the gap hold at least count characters.
    bool WidenGap(size_t count);
    // Adds delta to the buffer offsets of records starting in [from, to) of the buffer.
    void ShiftRecords(size_t from, size_t to, size_t delta) const;

    // Where the gap is when there is none: every offset lies before it.
    static constexpr size_t kNoGap = SIZE_MAX;
    mutable std::wstring m_text; // the buffer: text with the gap at m_gapAt
    mutable size_t m_gapAt = kNoGap;
    mutable size_t m_gapLen = 0;
    // Records from the parse are in text order by index; inserted ones are listed here
    // in text order.
    uint32_t m_parsedCount = 1;
    std::vector<uint32_t> m_inserted;
    mutable WorkCounts m_work;
    mutable std::vector<ElemRec> m_elems;
    std::wstring m_result;
    size_t m_maxChars = kMaxChars;
    bool m_illFormed = false;
    Position m_pos;
    Node m_node;
    // Saved positions by name. Callers keep a handful of names and save and restore
    // them thousands of times: a short list compared in place beats hashing a key.
    struct SavedPosition {
        std::wstring name;
        Position pos;
    };
    std::vector<SavedPosition> m_saved;
    Position* FindSaved(const wchar_t* name);
    // Attributes of the element last asked about (0: none), so that reading each
    // attribute of an element scans its start tag once.
    mutable std::vector<AttributeSpan> m_attributes;
    mutable uint32_t m_attributesOf = 0;
};
