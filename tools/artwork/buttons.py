"""The close button, at rest (quiet grey ring) and under the mouse (red disc)."""
from PIL import ImageDraw

import canvas as cv
import geometry as g


def _cross(size, arm, width):
    m = cv.mask(size)
    c = size[0] / 2, size[1] / 2
    d = ImageDraw.Draw(m)
    for sx in (-1, 1):
        d.line(cv.sc([(c[0] - arm, c[1] - sx * arm), (c[0] + arm, c[1] + sx * arm)]), fill=255, width=int(width * cv.SS))
    return m


def _disc(size, r):
    m = cv.mask(size)
    c = size[0] / 2, size[1] / 2
    ImageDraw.Draw(m).ellipse(cv.sc((c[0] - r, c[1] - r, c[0] + r, c[1] + r)), fill=255)
    return m


def make_normal():
    size = g.CLOSE_BUTTON
    ring = cv.subtract(_disc(size, 9.0), _disc(size, 7.8))
    face = cv.scale_mask(_disc(size, 7.8), 0.08)
    cross = _cross(size, 3.4, 1.5)
    alpha = cv.union(cv.union(cv.scale_mask(ring, 0.75), face), cv.scale_mask(cross, 0.92))
    return cv.picture(cv.solid(size, (190, 202, 216)), cv.reduce(alpha))


def make_hover():
    size = g.CLOSE_BUTTON
    disc = _disc(size, 9.5)
    colour = cv.gradient(size, (242, 92, 80), (208, 52, 46), 90)
    colour.paste((255, 255, 255), mask=cv.reduce(_cross(size, 3.4, 1.7)))
    return cv.picture(colour, cv.reduce(disc))
