#include "updater/transfer/first_byte_size.h"

#include "updater/transfer/answer_check.h"

namespace zv {

FirstByteSize SizeFromFirstByteAnswer(int status, std::wstring_view contentRange, uint32_t& size)
{
    size = 0;
    if (status != 206) return FirstByteSize::notPartial;
    auto range = ParseContentRange(contentRange);
    // A part that does not start where asked says nothing trustworthy about the file;
    // one that runs further than asked still names its length.
    if (!range || range->first != 0) return FirstByteSize::unusable;
    if (!range->total) return FirstByteSize::unknown;
    size = *range->total;
    return FirstByteSize::total;
}

} // namespace zv
