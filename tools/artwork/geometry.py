"""Sizes and placements shared by the pictures, the preview and the check.

The progress window takes its size from the background and places the other
pictures from their sizes (see place_pictures); every figure here is chosen so
that the logo row, the bar and the close button land on calm parts of the
background and so that the logo baselines line up across three pictures.
"""

WINDOW = (520, 320)                 # background picture = window size
CARD = (8, 6, 512, 310)             # opaque card inside the soft shadow margin
CARD_RADIUS = 14

# The window draws the product logo at 1/2.5 of its size, so it is authored
# at 2.5x; both sides are multiples of 5 to keep the drawn size exact.
PRODUCT_LOGO = (550, 120)
BRAND_LOGO = (190, 40)              # the regional logo shares this size and rectangle
BYLINE = (24, 40)
CLOSE_BUTTON = (21, 21)             # odd height centres it on the 11 px bar

# One typographic baseline for "Tandemix", "by" and the brand names, in
# window coordinates.
ROW_BASELINE = 265
CONTENT_INSET = 30                  # brand logo's right margin, mirrored on the left

FILES = {
    "background": "VeskBackground.png",
    "product": "tandemLogo.png",
    "brand_main": "logo_enu.png",
    "brand_regional": "logo_jpn.png",
    "byline": "by.png",
    "close": "close_button_grey.png",
    "close_hover": "close_button_red.png",
}

SIZES = {
    "background": WINDOW,
    "product": PRODUCT_LOGO,
    "brand_main": BRAND_LOGO,
    "brand_regional": BRAND_LOGO,
    "byline": BYLINE,
    "close": CLOSE_BUTTON,
    "close_hover": CLOSE_BUTTON,
}

BAR_BACK = (238, 238, 238, 250)
BAR_FILL = (0, 133, 195, 250)


def place_pictures(sizes):
    """Rectangles (left, top, right, bottom) where the window draws each picture."""
    w, h = sizes["background"]
    lw, lh = sizes["product"]
    top = h - lh // 3 - 48
    logo_w, logo_h = int(lw / 2.5), int(lh / 2.5)
    rects = {"product": (10, top, 10 + logo_w, top + logo_h)}
    bw, bh = sizes["brand_main"]
    bx, by = w - bw - 30, top + (logo_h - bh) // 2
    rects["brand"] = (bx, by, bx + bw, by + bh)
    yw, yh = sizes["byline"]
    yx, yy = (w - yw) // 2, top + (logo_h - yh) // 2
    rects["byline"] = (yx, yy, yx + yw, yy + yh)
    bottom = top + logo_h
    bar_l, bar_t = w // 4, bottom + (h - bottom - 36) // 2
    bar_r = bar_l + w // 2
    rects["bar"] = (bar_l, bar_t, bar_r, bar_t + 11)
    cw, ch = sizes["close"]
    rects["close"] = (bar_r + 10, bar_t - 5, bar_r + 10 + cw, bar_t - 5 + ch)
    return rects


PLACES = place_pictures(SIZES)
