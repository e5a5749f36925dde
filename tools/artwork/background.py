"""The window background: a deep navy card with soft rounded edges, a faint
shadow, a light field in the upper part and two bundles of fine lines that
move together (the product's idea of two devices on one receiver).

The lower band stays calm and dark: the logo row, the progress bar and the
close button are drawn there by the window.
"""
import math

from PIL import Image, ImageChops, ImageDraw

import canvas as cv
import geometry as g

TOP = (21, 37, 58)
BOTTOM = (8, 15, 26)
GLOW = (24, 104, 170)
TEAL = (0, 92, 112)


def _field(x, y):
    w, h = g.WINDOW
    t = cv.smoothstep(0, h, y)
    c = list(cv.lerp(TOP, BOTTOM, t))
    # Broad light from the upper right, where the line bundles are brightest.
    d = math.hypot((x - 372) / 1.25, y - 64) / 290.0
    k = max(0.0, 1.0 - d) ** 2 * 0.55
    # A cooler echo on the left keeps the card from looking lopsided.
    d2 = math.hypot(x - 70, (y - 150) * 1.4) / 230.0
    k2 = max(0.0, 1.0 - d2) ** 2 * 0.22
    for i in range(3):
        c[i] += GLOW[i] * k + TEAL[i] * k2
    # The logo band below the separator sits a little deeper.
    band = cv.smoothstep(214, 236, y) * 0.18
    return tuple(v * (1.0 - band) for v in c)


def _curve(x, base, amp, wave, phase, spread, i, n):
    """One line of a bundle: a shared wave plus a slow fan that opens and closes."""
    w = g.WINDOW[0]
    env = 0.55 + 0.45 * math.sin(math.pi * min(1.0, max(0.0, (x + 40) / (w + 80))))
    fan = (i - (n - 1) / 2) * spread * math.sin(2 * math.pi * x / 700 + 0.9)
    return base + amp * env * math.sin(2 * math.pi * x / wave + phase + i * 0.035) + fan


def _bundle(size, base, amp, wave, phase, spread, n, width):
    m = cv.mask(size)
    d = ImageDraw.Draw(m)
    w = size[0]
    for i in range(n):
        centre = 1.0 - abs(i - (n - 1) / 2) / ((n - 1) / 2)
        level = int(255 * (0.22 + 0.78 * centre ** 1.5))
        pts = []
        for xs in range(-16, w + 17, 2):
            pts.append(cv.sc((xs, _curve(xs, base, amp, wave, phase, spread, i, n))))
        d.line(pts, fill=level, width=max(1, int(width * cv.SS)), joint="curve")
    return cv.reduce(m)


def _fade_x(m, start, full, end_full, end):
    """Fades a mask in from the left and out to the right edge of the card."""
    w, h = m.size
    ramp = Image.new("L", (w, 1))
    for x in range(w):
        v = cv.smoothstep(start, full, x) * (1.0 - cv.smoothstep(end_full, end, x))
        ramp.putpixel((x, 0), int(round(255 * v)))
    return ImageChops.multiply(m, ramp.resize((w, h)))


def _glow_over(base, colour_field, m, strength):
    """Screen-blends colour through mask m onto base (light adds, never darkens)."""
    light = Image.composite(colour_field, Image.new("RGB", base.size, 0), cv.scale_mask(m, strength))
    return ImageChops.screen(base, light)


def _sparkles(size):
    """A few soft points of light riding on the bundles (fixed positions)."""
    m = cv.mask(size)
    d = ImageDraw.Draw(m)
    spots = [(272, 1.4), (401, 2.0)]
    for k, (x, r) in enumerate(spots):
        y = _curve(x, 124, 34, 460, 0.5, 3.4, (5, 7)[k], 14)
        d.ellipse(cv.sc((x - r, y - r, x + r, y + r)), fill=255)
    return cv.reduce(m)


def _partner_mark(size):
    """The OEM partner's name, small and tracked, in the upper left."""
    m = cv.mask(size)
    x, base = 30, 34
    d = ImageDraw.Draw(m)
    # A slanted tick before the name, the partner's device mark.
    d.polygon(cv.sc([(x + 2.4, base - 10.5), (x + 5.4, base - 10.5), (x + 3.0, base), (x, base)]), fill=255)
    cv.text_mask(m, (x + 10, base), "VESK", "sans-bold", 12.5, tracking=3.2)
    return cv.reduce(m)


def _rounded(rect, radius, inset=0.0):
    l, t, r, b = rect
    m = cv.mask(g.WINDOW)
    ImageDraw.Draw(m).rounded_rectangle(
        cv.sc((l + inset, t + inset, r - inset, b - inset)), radius=cv.sc(radius - inset), fill=255)
    return m


def make():
    size = g.WINDOW
    base = cv.dithered_field(size, _field)

    cyan = cv.gradient(size, (18, 120, 190), (92, 214, 255), 0)
    blue = cv.gradient(size, (0, 96, 170), (40, 170, 240), 0)

    a = _fade_x(_bundle(size, 124, 34, 460, 0.5, 3.4, 14, 0.8), 10, 190, 470, 520)
    b = _fade_x(_bundle(size, 132, 27, 390, 3.4, 2.8, 11, 0.8), 40, 230, 450, 515)

    base = _glow_over(base, blue, cv.blur(b, 5), 0.55)
    base = _glow_over(base, cyan, cv.blur(a, 6), 0.65)
    base = _glow_over(base, blue, b, 0.9)
    base = _glow_over(base, cyan, a, 1.0)

    sp = _sparkles(size)
    halo = cv.blur(sp, 7)
    base = _glow_over(base, cv.solid(size, (90, 190, 255)), halo.point(lambda v: min(255, v * 5)), 0.5)
    base = _glow_over(base, cv.solid(size, (200, 240, 255)), cv.blur(sp, 1.2), 0.8)

    white = cv.solid(size, (255, 255, 255))
    base = Image.composite(white, base, cv.scale_mask(_partner_mark(size), 0.86))

    # A hairline separating the picture from the logo row, fading at both ends.
    sep = cv.mask(size)
    ImageDraw.Draw(sep).rectangle(cv.sc((30, 222, 490, 223)), fill=255)
    base = Image.composite(white, base, cv.scale_mask(_fade_x(cv.reduce(sep), 30, 150, 370, 490), 0.09))

    # Card shape, a thin light rim along its top for depth, then the shadow.
    card = _rounded(g.CARD, g.CARD_RADIUS)
    rim = cv.subtract(card, _rounded(g.CARD, g.CARD_RADIUS, inset=1.0))
    rim_fade = Image.linear_gradient("L").rotate(180).resize(cv.sc(size))
    rim = ImageChops.multiply(rim, cv.scale_mask(rim_fade, 0.24))
    base = Image.composite(white, base, cv.reduce(rim))
    card_pic = cv.picture(base, cv.reduce(card))

    shadow_mask = cv.reduce(_rounded((g.CARD[0], g.CARD[1] + 2, g.CARD[2], g.CARD[3] + 2), g.CARD_RADIUS))
    shadow = cv.picture(cv.solid(size, (0, 0, 0)), cv.scale_mask(cv.blur(shadow_mask, 3.2), 0.42))
    return Image.alpha_composite(shadow, card_pic)
