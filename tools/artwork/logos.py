"""Product logo, the two brand logos and the by-line.

All three sit on one row of the window with a shared baseline (ROW_BASELINE)
and read "Tandemix  by  Quorvane" (or the regional brand). Colours are for the
dark card. Transparent pixels carry the colour of the ink next to them, so
scaling never pulls a dark fringe into an edge.
"""
from PIL import Image, ImageChops, ImageDraw

import canvas as cv
import geometry as g

WHITE = (255, 255, 255)
RING_A = ((0, 133, 195), (38, 178, 238))      # the bar's own blue, lightening
RING_B = ((86, 214, 246), (178, 238, 255))
BY_GREY = (140, 160, 184)
TESS_RED = (230, 58, 64)


def _fit_tracking(text, face, size, width):
    """Letter spacing that makes text exactly width pixels wide."""
    bare = cv.text_width(text, face, size)
    return (width - bare) / (len(text) - 1)


def _bleed(colour_layers, size):
    """Colour field: each (rgb, mask) layer spread a little beyond its ink."""
    field = cv.solid(cv.sc(size), WHITE)
    for rgb, m in colour_layers:
        src = rgb if isinstance(rgb, Image.Image) else cv.solid(cv.sc(size), rgb)
        field = Image.composite(src, field, cv.grow(m, 2.5))
    return cv.reduce(field)


def _ring(size, cx, cy, r, thick):
    m = cv.mask(size)
    d = ImageDraw.Draw(m)
    d.ellipse(cv.sc((cx - r, cy - r, cx + r, cy + r)), fill=255)
    d.ellipse(cv.sc((cx - r + thick, cy - r + thick, cx + r - thick, cy + r - thick)), fill=0)
    return m


def _half(size, cy, upper):
    m = cv.mask(size)
    box = (0, 0, size[0], cy) if upper else (0, cy, size[0], size[1])
    ImageDraw.Draw(m).rectangle(cv.sc(box), fill=255)
    return m


# Product logo ---------------------------------------------------------------

PRODUCT_DRAWN = (int(g.PRODUCT_LOGO[0] / 2.5), int(g.PRODUCT_LOGO[1] / 2.5))
PRODUCT_LEFT = g.CONTENT_INSET - g.PLACES["product"][0]
PRODUCT_BASE = g.ROW_BASELINE - g.PLACES["product"][1]
WORD_SIZE = 25
RING_R, RING_THICK, RING_STEP = 12, 3.4, 14.5   # ring radius, stroke, centre distance
WORD_X = PRODUCT_LEFT + 2 * RING_R + RING_STEP + 11


def product_content_right():
    """Window x where the product logo's ink ends (the brand logo mirrors it)."""
    return g.PLACES["product"][0] + WORD_X + cv.ink_box("Tandemix", "sans-bold", WORD_SIZE)[2]


def make_product():
    """Two interlocked rings and the word mark, drawn at the size the window
    shows them and then enlarged 2.5x: the window shrinks the picture with a
    plain bilinear filter, which keeps an already smooth image clean."""
    size = PRODUCT_DRAWN
    r, thick, gap = RING_R, RING_THICK, RING_STEP
    cap = -cv.ink_box("T", "sans-bold", WORD_SIZE)[1]
    cy = PRODUCT_BASE - cap / 2
    ax, bx = PRODUCT_LEFT + r, PRODUCT_LEFT + r + gap
    a, b = _ring(size, ax, cy, r, thick), _ring(size, bx, cy, r, thick)
    # Over and under: A passes over B at the top crossing, under it at the bottom.
    cut = 1.1
    a_ink = cv.subtract(a, ImageChops.multiply(cv.grow(b, cut), _half(size, int(cy), upper=False)))
    b_ink = cv.subtract(b, ImageChops.multiply(cv.grow(a, cut), _half(size, int(cy), upper=True)))

    word = cv.mask(size)
    cv.text_mask(word, (WORD_X, PRODUCT_BASE), "Tandemix", "sans-bold", WORD_SIZE)

    ring_box = cv.sc(size)
    grad_a = cv.gradient(ring_box, RING_A[0], RING_A[1], 300).resize(ring_box)
    grad_b = cv.gradient((ring_box[0] // 8, ring_box[1] // 8), RING_B[0], RING_B[1], 300).resize(ring_box)
    colour = _bleed([(grad_a, a_ink), (grad_b, b_ink)], size)
    alpha = cv.reduce(cv.union(cv.union(a_ink, b_ink), word))
    drawn = cv.picture(colour, alpha)
    return drawn.resize(g.PRODUCT_LOGO, Image.BICUBIC)


# Brand logos ----------------------------------------------------------------

BRAND_BASE = g.ROW_BASELINE - g.PLACES["brand"][1]


def _brand_span():
    """Left and right ink edges inside the brand picture: mirrors the product
    logo around the by-line in the middle of the window."""
    w = g.WINDOW[0]
    left_abs = w - product_content_right()
    return left_abs - g.PLACES["brand"][0], g.BRAND_LOGO[0]


def make_brand_main():
    """Quorvane: a blue ring with a tail (the Q) and the tracked name."""
    size = g.BRAND_LOGO
    left, right = _brand_span()
    cap = -cv.ink_box("Q", "sans", 19)[1]
    cy, r = BRAND_BASE - cap / 2, 9.6
    cx = left + r
    ring = _ring(size, cx, cy, r, 2.8)
    tail = cv.mask(size)
    ImageDraw.Draw(tail).line(cv.sc([(cx + 3.0, cy + 3.0), (cx + 10.4, cy + 10.4)]), fill=255, width=int(cv.sc(2.8)))
    mark = cv.union(ring, tail)
    word = cv.mask(size)
    text_x = left + 2 * r + 13
    tracking = _fit_tracking("QUORVANE", "sans", 19, right - text_x - 1)
    cv.text_mask(word, (text_x, BRAND_BASE), "QUORVANE", "sans", 19, tracking=tracking)
    box = cv.sc(size)
    colour = _bleed([(cv.gradient(box, RING_A[1], RING_A[0], 60), mark)], size)
    return cv.picture(colour, cv.reduce(cv.union(mark, word)))


def make_brand_regional():
    """Tessaron for Japan: a split diamond mark, the katakana name and the
    Latin name after a hairline, set flush right like the main brand."""
    size = g.BRAND_LOGO
    s, kana, latin, track = 8.0, 16, 10.5, 1.4
    gaps = (9, 7, 7.75)
    width = (2 * s + gaps[0] + cv.text_width("テッサロン", "sans-bold", kana) + gaps[1] + gaps[2]
             + cv.text_width("TESSARON", "sans", latin, track))
    left = size[0] - 1 - width
    ink = cv.mask(size)
    red = cv.mask(size)
    cap = -cv.ink_box("テ", "sans-bold", kana)[1]
    cy = BRAND_BASE - cap / 2 + 0.5
    cx = left + s
    d = ImageDraw.Draw(red)
    d.polygon(cv.sc([(cx, cy - s), (cx + s, cy), (cx, cy + s), (cx - s, cy)]), fill=255)
    notch = cv.mask(size)
    t = s - 4.2
    ImageDraw.Draw(notch).polygon(cv.sc([(cx, cy - t), (cx + t, cy), (cx, cy + t), (cx - t, cy)]), fill=255)
    red = cv.subtract(red, notch)
    ImageDraw.Draw(ink).ellipse(cv.sc((cx - 1.7, cy - 1.7, cx + 1.7, cy + 1.7)), fill=255)

    x = left + 2 * s + gaps[0]
    x += cv.text_mask(ink, (x, BRAND_BASE), "テッサロン", "sans-bold", kana) + gaps[1]
    ImageDraw.Draw(ink).rectangle(cv.sc((x, BRAND_BASE - 12, x + 0.75, BRAND_BASE + 1)), fill=150)
    x += gaps[2]
    cv.text_mask(ink, (x, BRAND_BASE), "TESSARON", "sans", latin, tracking=track)
    colour = _bleed([(TESS_RED, red)], size)
    return cv.picture(colour, cv.reduce(cv.union(ink, red)))


def make_byline():
    size = g.BYLINE
    m = cv.mask(size)
    base = g.ROW_BASELINE - g.PLACES["byline"][1]
    w = cv.text_width("by", "serif-italic", 17)
    cv.text_mask(m, ((size[0] - w) / 2, base), "by", "serif-italic", 17)
    return cv.picture(cv.solid(size, BY_GREY), cv.reduce(m))
