// Keeping a moved window inside the work area.
#include <gtest/gtest.h>

#include "skin/belvarra_base_wnd.h"

namespace zv::skin {
namespace {

TEST(WorkAreaClamp, TableOfMoves)
{
    const RECT wa{0, 0, 1280, 984};
    struct Case {
        const char* what;
        RECT in;
        bool changed;
        RECT want;
    } cases[] = {
        {"inside", {100, 100, 500, 400}, false, {100, 100, 500, 400}},
        {"left and bottom", {-50, 900, 350, 1100}, true, {0, 784, 400, 984}},
        {"right", {1000, 10, 1400, 110}, true, {880, 10, 1280, 110}},
        {"top", {10, -30, 110, 70}, true, {10, 0, 110, 100}},
        {"wider and taller than the work area", {-20, 40, 1500, 1100}, true, {0, 0, 1520, 1060}},
        {"too wide, already at the left edge", {0, 10, 1500, 110}, false, {0, 10, 1500, 110}},
    };
    for (const auto& c : cases) {
        RECT r = c.in;
        EXPECT_EQ(ClampToWorkArea(r, wa), c.changed) << c.what;
        EXPECT_TRUE(::EqualRect(&r, &c.want)) << c.what << ": " << r.left << "," << r.top << "," << r.right << ","
                                              << r.bottom;
        // Settled in one pass: a second pass changes nothing.
        EXPECT_FALSE(ClampToWorkArea(r, wa)) << c.what;
    }
}

} // namespace
} // namespace zv::skin
