#!/usr/bin/env python3
"""Draws the launcher's icon: a teal disc with a white upward arrow (an update rising),
at 16, 32, 48 and 256 pixels, written as a .ico of 32-bit images. No imaging library
needed; the output is the same on every run."""
import struct
import sys
import zlib


def pixel(x, y, size):
    # Work in a unit square with 4x4 supersampling for smooth edges.
    cov_disc = cov_arrow = 0
    for sy in range(4):
        for sx in range(4):
            u = (x + (sx + 0.5) / 4) / size
            v = (y + (sy + 0.5) / 4) / size
            du, dv = u - 0.5, v - 0.5
            if du * du + dv * dv <= 0.46 * 0.46:
                cov_disc += 1
                head = 0.22 <= v <= 0.52 and abs(du) <= (v - 0.22) * 0.9
                shaft = 0.50 <= v <= 0.80 and abs(du) <= 0.085
                if head or shaft:
                    cov_arrow += 1
    if cov_disc == 0:
        return (0, 0, 0, 0)
    t = y / size  # top-to-bottom shade
    base = (int(20 + 20 * t), int(170 - 60 * t), int(180 - 50 * t))
    a = cov_arrow / cov_disc
    r, g, b = (int(c * (1 - a) + 255 * a) for c in base)
    return (r, g, b, int(255 * cov_disc / 16))


def png(size):
    rows = b""
    for y in range(size):
        rows += b"\0" + b"".join(struct.pack("BBBB", *pixel(x, y, size)) for x in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def bmp(size):
    # Small sizes as BMP entries (bottom-up BGRA plus an all-zero AND mask) for old readers.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = b"".join(struct.pack("BBBB", b, g, r, a) for y in reversed(range(size))
                    for x in range(size) for r, g, b, a in [pixel(x, y, size)])
    mask_row = ((size + 31) // 32) * 4
    return header + body + b"\0" * mask_row * size


def main(out):
    images = [(s, bmp(s)) for s in (16, 32, 48)] + [(256, png(256))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(out, "wb") as f:
        f.write(data + b"".join(blob for _, blob in images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "src/launcher/resources/launcher.ico")
