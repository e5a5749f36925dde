#pragma once
// Where the progress window puts its parts, from the pictures' sizes alone.
#include <windows.h>

namespace zv::skin {

struct ProgressLayout {
    RECT logo{};
    RECT brand{};
    RECT byLine{};
    RECT bar{};
    RECT close{};
};

struct ProgressPictureSizes {
    SIZE window{};  // the background picture
    SIZE logo{};
    SIZE brand{};   // the main-brand logo
    SIZE byLine{};
    SIZE close{};   // the normal close button
};

ProgressLayout ComputeProgressLayout(const ProgressPictureSizes& sizes) noexcept;
// The bar with its right edge moved to the progress; progress is held to 0..100.
RECT BarFillRect(const RECT& bar, int progress) noexcept;

} // namespace zv::skin
