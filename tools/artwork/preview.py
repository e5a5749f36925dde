"""A picture of the progress window as the launcher composes it, for review.

It follows the window's drawing: background copied, product logo shrunk by a
plain bilinear filter into its rectangle, brand logo, by-line, close button,
then the bar's track and fill, all source-over; the result is shown over a
desktop-like backdrop so the soft edge can be judged.
"""
from PIL import Image, ImageDraw

import canvas as cv
import geometry as g


def _bilinear_into(pic, rect):
    """Point-sampled bilinear shrink, as the window's default filter does."""
    w, h = rect[2] - rect[0], rect[3] - rect[1]
    sx, sy = pic.size[0] / w, pic.size[1] / h
    return pic.transform((w, h), Image.AFFINE, (sx, 0, 0, 0, sy, 0), Image.BILINEAR)


def compose(pics, progress, regional=False, hover=False, busy=True):
    """The window's pixels for one moment of the flow."""
    surface = pics["background"].copy()
    places = g.PLACES
    surface.alpha_composite(_bilinear_into(pics["product"], places["product"]), places["product"][:2])
    brand = pics["brand_regional" if regional else "brand_main"]
    surface.alpha_composite(brand, places["brand"][:2])
    surface.alpha_composite(pics["byline"], places["byline"][:2])
    if busy:
        surface.alpha_composite(pics["close_hover" if hover else "close"], places["close"][:2])
        bar = Image.new("RGBA", surface.size, (0, 0, 0, 0))
        d = ImageDraw.Draw(bar)
        l, t, r, b = places["bar"]
        d.rectangle((l, t, r - 1, b - 1), fill=g.BAR_BACK)
        surface.alpha_composite(bar)
        fill_r = l + (r - l) * progress // 100
        if fill_r > l:
            bar = Image.new("RGBA", surface.size, (0, 0, 0, 0))
            ImageDraw.Draw(bar).rectangle((l, t, fill_r - 1, b - 1), fill=g.BAR_FILL)
            surface.alpha_composite(bar)
    return surface


def _backdrop(size):
    return cv.gradient(size, (96, 118, 132), (164, 176, 168), 35).convert("RGBA")


def render(pics, path):
    w, h = g.WINDOW
    pad = 20
    states = [dict(progress=46), dict(progress=60, regional=True, hover=True), dict(progress=0, busy=False)]
    sheet = _backdrop((pad + len(states) * (w + pad), pad + h + pad + 2 * h + pad))
    for i, st in enumerate(states):
        sheet.alpha_composite(compose(pics, **st), (pad + i * (w + pad), pad))
    zoom = compose(pics, 46).resize((2 * w, 2 * h), Image.NEAREST)
    sheet.alpha_composite(zoom, (pad, pad + h + pad))
    sheet.convert("RGB").save(path)
