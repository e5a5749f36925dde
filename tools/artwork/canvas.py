"""Drawing helpers: supersampled masks, fills, tracked text and dithered fields.

Shapes are drawn as 8-bit masks at SS times the final size and reduced with a
box filter, which gives even anti-aliasing without relying on the renderer's.
Everything is deterministic: no clocks, no unseeded randomness.
"""
import math
import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

SS = 4  # supersampling factor

_FONTS = {
    # name: (file, face index, Debian package)
    "sans": ("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", 0, "fonts-noto-cjk"),
    "sans-bold": ("/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc", 0, "fonts-noto-cjk"),
    "serif-italic": ("/usr/share/fonts/truetype/liberation/LiberationSerif-Italic.ttf", 0, "fonts-liberation"),
    "sans-light": ("/usr/share/fonts/truetype/dejavu/DejaVuSans-ExtraLight.ttf", 0, "fonts-dejavu-extra"),
}


def font(name, size):
    """The named face at size pixels (already multiplied by SS by callers).

    Raqm (a dependency of python3-pil) lays the text out, so pairs such as "Ta" are kerned."""
    path, index, package = _FONTS[name]
    if not os.path.exists(path):
        sys.exit(f"make-artwork: missing font {path} (install the Debian package {package})")
    return ImageFont.truetype(path, int(round(size)), index=index, layout_engine=ImageFont.Layout.RAQM)


def mask(size):
    """An empty supersampled mask for a picture of size (w, h)."""
    return Image.new("L", (size[0] * SS, size[1] * SS), 0)


def reduce(img):
    """Supersampled mask or picture back to its final size (box filter)."""
    return img.reduce(SS)


def sc(v):
    """Final-size coordinate(s) to supersampled ones."""
    if isinstance(v, (tuple, list)):
        return type(v)(sc(x) for x in v)
    return v * SS


def scale_mask(m, factor):
    return m.point(lambda v: int(round(v * factor)))


def subtract(a, b):
    """a where b is not: a * (1 - b)."""
    return ImageChops.multiply(a, ImageChops.invert(b))


def union(a, b):
    return ImageChops.lighter(a, b)


def grow(m, px):
    """Dilate a supersampled mask by px final-size pixels (rounded to odd kernels)."""
    k = int(px * SS) * 2 + 1
    return m.filter(ImageFilter.MaxFilter(k))


def solid(size, rgb):
    return Image.new("RGB", size, rgb)


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def gradient(size, c0, c1, angle_deg=0.0):
    """Linear gradient from c0 to c1 across the box, along angle (0 = left to right)."""
    w, h = size
    a = math.radians(angle_deg)
    dx, dy = math.cos(a), math.sin(a)
    span = abs(dx) * (w - 1) + abs(dy) * (h - 1) or 1.0
    x0 = 0 if dx >= 0 else w - 1
    y0 = 0 if dy >= 0 else h - 1
    img = Image.new("RGB", size)
    px = img.load()
    for y in range(h):
        for x in range(w):
            t = ((x - x0) * dx + (y - y0) * dy) / span
            px[x, y] = tuple(int(round(v)) for v in lerp(c0, c1, t))
    return img


def picture(colour, alpha):
    """RGBA picture from a colour field (RGB, final size) and an alpha mask."""
    out = colour.convert("RGBA")
    out.putalpha(alpha)
    return out


def text_mask(m, xy, text, face, size, tracking=0.0, anchor="ls"):
    """Draw text into supersampled mask m with its baseline-left at xy (final px).

    tracking adds final-size pixels between letters. Returns the advance width."""
    f = font(face, size * SS)
    d = ImageDraw.Draw(m)
    x, y = sc(xy[0]), sc(xy[1])
    if not tracking:
        d.text((x, y), text, fill=255, font=f, anchor=anchor)
        return f.getlength(text) / SS
    start = x
    for i, ch in enumerate(text):
        d.text((x, y), ch, fill=255, font=f, anchor=anchor)
        x += f.getlength(ch) + (sc(tracking) if i < len(text) - 1 else 0)
    return (x - start) / SS


def text_width(text, face, size, tracking=0.0):
    f = font(face, size * SS)
    if not tracking:
        return f.getlength(text) / SS
    return (sum(f.getlength(ch) for ch in text) + sc(tracking) * (len(text) - 1)) / SS


def ink_box(text, face, size):
    """Ink bounds of text drawn at baseline-left (0, 0), final px: (l, t, r, b)."""
    f = font(face, size * SS)
    l, t, r, b = f.getbbox(text, anchor="ls")
    return (l / SS, t / SS, r / SS, b / SS)


BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def dithered_field(size, fn):
    """RGB image from fn(x, y) -> float RGB (0..255), ordered-dithered to 8 bits
    so that slow dark gradients show no bands."""
    w, h = size
    img = Image.new("RGB", size)
    px = img.load()
    for y in range(h):
        row = BAYER4[y & 3]
        for x in range(w):
            d = (row[x & 3] + 0.5) / 16.0 - 0.5
            r, g, b = fn(x + 0.5, y + 0.5)
            px[x, y] = (
                min(255, max(0, int(math.floor(r + d + 0.5)))),
                min(255, max(0, int(math.floor(g + d + 0.5)))),
                min(255, max(0, int(math.floor(b + d + 0.5)))),
            )
    return img


def blur(img, radius):
    return img.filter(ImageFilter.GaussianBlur(radius))
