#include "skin/progress_layout.h"

namespace zv::skin {

ProgressLayout ComputeProgressLayout(const ProgressPictureSizes& s) noexcept
{
    ProgressLayout l;
    const LONG W = s.window.cx;
    const LONG H = s.window.cy;
    const LONG top = H - s.logo.cy / 3 - 48;
    const LONG logoW = static_cast<LONG>(s.logo.cx / 2.5);
    const LONG logoH = static_cast<LONG>(s.logo.cy / 2.5);
    l.logo = RECT{10, top, 10 + logoW, top + logoH};

    const LONG brandLeft = W - s.brand.cx - 30;
    const LONG brandTop = top + (logoH - s.brand.cy) / 2;
    l.brand = RECT{brandLeft, brandTop, brandLeft + s.brand.cx, brandTop + s.brand.cy};

    const LONG byLeft = (W - s.byLine.cx) / 2;
    const LONG byTop = top + (logoH - s.byLine.cy) / 2;
    l.byLine = RECT{byLeft, byTop, byLeft + s.byLine.cx, byTop + s.byLine.cy};

    const LONG B = l.logo.bottom;
    const LONG barLeft = W / 4;
    const LONG barTop = B + (H - B - 36) / 2;
    const LONG barRight = barLeft + W / 2;
    l.bar = RECT{barLeft, barTop, barRight, barTop + 11};

    l.close = RECT{barRight + 10, barTop - 5, barRight + 10 + s.close.cx, barTop - 5 + s.close.cy};
    return l;
}

RECT BarFillRect(const RECT& bar, int progress) noexcept
{
    if (progress < 0) progress = 0;
    if (progress > 100) progress = 100;
    RECT fill = bar;
    fill.right = bar.left + (bar.right - bar.left) * progress / 100;
    return fill;
}

} // namespace zv::skin
