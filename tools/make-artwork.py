#!/usr/bin/python3
"""Draws the progress window's pictures (PNG with alpha) into a folder.

    tools/make-artwork.py [OUT_DIR] [--preview PNG]

OUT_DIR defaults to src/skin/images, the folder the launcher's "Images"
deployment takes. Needs Debian's python3-pil, fonts-noto-cjk, fonts-liberation
and fonts-dejavu-extra (tools/bootstrap.sh installs them). The output is the
same, byte for byte, on every run with the same packages.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "artwork"))

import background  # noqa: E402
import buttons  # noqa: E402
import geometry as g  # noqa: E402
import logos  # noqa: E402
import preview  # noqa: E402

MAKERS = {
    "background": background.make,
    "product": logos.make_product,
    "brand_main": logos.make_brand_main,
    "brand_regional": logos.make_brand_regional,
    "byline": logos.make_byline,
    "close": buttons.make_normal,
    "close_hover": buttons.make_hover,
}


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("out", nargs="?", default=os.path.join(root, "src", "skin", "images"))
    ap.add_argument("--preview", help="also write a composed picture of the window here")
    args = ap.parse_args()

    os.makedirs(args.out, exist_ok=True)
    pics = {}
    for key, make in MAKERS.items():
        pic = make()
        if pic.size != g.SIZES[key] or pic.mode != "RGBA":
            sys.exit(f"make-artwork: {g.FILES[key]} came out {pic.mode} {pic.size}, expected RGBA {g.SIZES[key]}")
        pics[key] = pic
        # No text chunks or timestamps: the file depends on its pixels only.
        pic.save(os.path.join(args.out, g.FILES[key]), format="PNG", optimize=False, compress_level=9)
    if args.preview:
        preview.render(pics, args.preview)


if __name__ == "__main__":
    main()
