#pragma once
// What the answer to a size query that asked for the first byte only ("Range:
// bytes=0-0") says about the file's length. A server that honours the range sends one
// byte instead of the file; one that ignores it answers as to a plain GET.
#include <cstdint>
#include <string_view>

namespace zv {

// The Range header of such a query, with its line end.
inline constexpr const wchar_t* kFirstByteRangeHeader = L"Range: bytes=0-0\r\n";

enum class FirstByteSize {
    notPartial, // not a 206: read Content-Length as for a plain GET
    total,      // a 206 for byte 0 whose Content-Range gives the file's length
    unknown,    // a 206 for byte 0 with the length "*": the length is not known
    unusable,   // a 206 without a readable Content-Range for byte 0
};

// size receives the total for FirstByteSize::total and is 0 otherwise.
FirstByteSize SizeFromFirstByteAnswer(int status, std::wstring_view contentRange, uint32_t& size);

} // namespace zv
