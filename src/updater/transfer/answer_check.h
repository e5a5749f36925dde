#pragma once
// Whether a GET's answer carries the bytes that were asked for, and where they go.
// The fetcher reads the status and headers; this decides, so the rules can be read and
// tested apart from WinINet.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zv {

// "bytes FIRST-LAST/TOTAL" of a partial answer; no total for "*".
struct ContentRange {
    uint32_t first = 0;
    uint32_t last = 0;
    std::optional<uint32_t> total;
};

// Nothing for a header that is not exactly that shape or whose last byte comes
// before its first.
std::optional<ContentRange> ParseContentRange(std::wstring_view text);

struct RangeRequest {
    uint32_t start = 0; // (0, 0): the whole file, no Range header
    uint32_t end = 0;   // inclusive
    uint32_t fileSize = 0; // what the size query announced
};

struct RangeAnswer {
    int status = 0;
    std::optional<uint32_t> contentLength;
    std::wstring_view contentRange; // empty when the answer has none
};

enum class BodyAction {
    keep,        // store the body from `offset` up to `end`
    restart,     // the whole file came instead of the range: the target starts again empty
    nothingLeft, // the partial file already holds the whole file
    refuse,      // keep nothing; the target stays as it is
};

struct BodyPlan {
    BodyAction action = BodyAction::refuse;
    uint32_t offset = 0; // where the body's first byte belongs
    uint32_t end = 0;    // the transfer is complete when the target reaches this position
    const wchar_t* reason = L""; // for a refusal: a short phrase for the log
};

// A whole-file request keeps only a 200 (or a 304 that WinINet answers from its
// cache) of the announced length. A ranged request keeps a 206 whose Content-Range
// starts at the requested byte and ends where asked, takes a 200 of the whole file as
// a restart, and a 416 as "nothing left" only when the range starts at the file's end.
BodyPlan PlanBody(const RangeRequest& request, const RangeAnswer& answer);

} // namespace zv
