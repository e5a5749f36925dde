#include "updater/transfer/answer_check.h"

namespace zv {

namespace {

// Decimal digits at `pos`, at most 32 bits; advances pos.
std::optional<uint32_t> ReadNumber(std::wstring_view text, size_t& pos)
{
    uint64_t value = 0;
    size_t begin = pos;
    while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
        value = value * 10 + static_cast<uint64_t>(text[pos] - L'0');
        if (value > 0xFFFFFFFFull) return std::nullopt;
        ++pos;
    }
    if (pos == begin) return std::nullopt;
    return static_cast<uint32_t>(value);
}

bool Expect(std::wstring_view text, size_t& pos, wchar_t c)
{
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

BodyPlan Refuse(const wchar_t* reason)
{
    BodyPlan plan;
    plan.reason = reason;
    return plan;
}

BodyPlan Plan(BodyAction action, uint32_t offset, uint32_t end)
{
    BodyPlan plan;
    plan.action = action;
    plan.offset = offset;
    plan.end = end;
    return plan;
}

BodyPlan PlanWhole(const RangeRequest& request, const RangeAnswer& answer)
{
    if (answer.status != 200 && answer.status != 304) return Refuse(L"not a 200 answer");
    if (answer.contentLength && *answer.contentLength != request.fileSize)
        return Refuse(L"length differs from the size query");
    return Plan(BodyAction::keep, 0, request.fileSize);
}

BodyPlan PlanPartial(const RangeRequest& request, const RangeAnswer& answer)
{
    if (answer.contentRange.empty()) return Refuse(L"partial answer without Content-Range");
    auto range = ParseContentRange(answer.contentRange);
    if (!range) return Refuse(L"unreadable Content-Range");
    if (range->first != request.start) return Refuse(L"Content-Range starts elsewhere");
    uint32_t wantedLast = request.end;
    if (request.fileSize && wantedLast >= request.fileSize) wantedLast = request.fileSize - 1;
    if (range->last != wantedLast) return Refuse(L"Content-Range ends elsewhere");
    if (range->total && *range->total != request.fileSize) return Refuse(L"file size differs from the size query");
    if (!range->total && range->last >= request.fileSize) return Refuse(L"Content-Range runs past the file");
    if (answer.contentLength && *answer.contentLength != range->last - range->first + 1)
        return Refuse(L"Content-Length disagrees with Content-Range");
    return Plan(BodyAction::keep, range->first, range->last + 1);
}

} // namespace

std::optional<ContentRange> ParseContentRange(std::wstring_view text)
{
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
    constexpr std::wstring_view unit = L"bytes ";
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == L' ' || text[pos] == L'\t')) ++pos;
    if (text.substr(pos, unit.size()) != unit) return std::nullopt;
    pos += unit.size();
    ContentRange range;
    auto first = ReadNumber(text, pos);
    if (!first || !Expect(text, pos, L'-')) return std::nullopt;
    auto last = ReadNumber(text, pos);
    if (!last || !Expect(text, pos, L'/') || *last < *first) return std::nullopt;
    range.first = *first;
    range.last = *last;
    if (pos < text.size() && text[pos] == L'*') {
        ++pos;
    } else {
        auto total = ReadNumber(text, pos);
        if (!total || *last >= *total) return std::nullopt;
        range.total = total;
    }
    if (pos != text.size()) return std::nullopt;
    return range;
}

BodyPlan PlanBody(const RangeRequest& request, const RangeAnswer& answer)
{
    if (request.start == 0 && request.end == 0) return PlanWhole(request, answer);
    switch (answer.status) {
    case 206:
        return PlanPartial(request, answer);
    case 200:
        // The server ignored the range and sends the whole file: only a body of the
        // announced size may replace the partial file.
        if (!answer.contentLength || *answer.contentLength != request.fileSize)
            return Refuse(L"whole answer without the announced length");
        return Plan(BodyAction::restart, 0, request.fileSize);
    case 416:
        if (request.start != request.fileSize) return Refuse(L"range not satisfiable");
        return Plan(BodyAction::nothingLeft, request.start, request.start);
    default:
        return Refuse(L"not a partial answer");
    }
}

} // namespace zv
