#!/usr/bin/env bash
# The committed window pictures are exactly what tools/make-artwork.py draws,
# each has an alpha channel and its expected size, and together they fit the
# progress window's placement rules (bar and close button on the calm card).
#   artwork_check.sh SOURCE_DIR WORK_DIR
set -uo pipefail
src=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
# Debian's interpreter: python3-pil is installed for it by tools/bootstrap.sh.
/usr/bin/python3 "$src/tools/make-artwork.py" "$work/drawn" || { echo "FAIL make-artwork.py did not run"; exit 1; }
exec /usr/bin/python3 - "$src/src/skin/images" "$work/drawn" <<'PY'
import os
import sys
from PIL import Image, ImageChops

committed, drawn = sys.argv[1], sys.argv[2]
expected = {
    "VeskBackground.png": (520, 320),
    "tandemLogo.png": (550, 120),
    "logo_enu.png": (190, 40),
    "logo_jpn.png": (190, 40),
    "by.png": (24, 40),
    "close_button_grey.png": (21, 21),
    "close_button_red.png": (21, 21),
}
failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL " + msg)


found = sorted(f for f in os.listdir(committed) if f.lower().endswith(".png"))
if found != sorted(expected):
    fail(f"pictures in {committed}: {found}")

pics = {}
for name, size in expected.items():
    path = os.path.join(committed, name)
    if not os.path.exists(path):
        fail(f"{name} missing")
        continue
    pic = Image.open(path)
    if pic.mode != "RGBA":
        fail(f"{name} has no alpha channel ({pic.mode})")
        continue
    if pic.size != size:
        fail(f"{name} is {pic.size}, expected {size}")
    lo, hi = pic.getchannel("A").getextrema()
    if lo != 0 or hi < 200:
        fail(f"{name} alpha spans {lo}..{hi}: no transparent surround or no clear ink")
    fresh = Image.open(os.path.join(drawn, name)).convert("RGBA")
    if fresh.size != pic.size:
        fail(f"{name} redrawn at {fresh.size}")
    else:
        diff = ImageChops.difference(pic, fresh)
        changed = sum(1 for px in diff.getdata() if any(px))
        if changed:
            fail(f"{name}: {changed} pixels differ from a fresh drawing (run tools/make-artwork.py and commit)")
    pics[name] = pic

if len(pics) == len(expected):
    # Placement as the window computes it from the pictures' sizes.
    W, H = pics["VeskBackground.png"].size
    lw, lh = pics["tandemLogo.png"].size
    if lw % 5 or lh % 5:
        fail(f"product logo {lw}x{lh} does not shrink exactly by 2.5")
    if pics["logo_jpn.png"].size != pics["logo_enu.png"].size:
        fail("regional logo is drawn into the main logo's rectangle but differs in size")
    if pics["close_button_red.png"].size != pics["close_button_grey.png"].size:
        fail("the two close-button states differ in size")
    top = H - lh // 3 - 48
    logo_w, logo_h = int(lw / 2.5), int(lh / 2.5)
    bottom = top + logo_h
    bw, bh = pics["logo_enu.png"].size
    yw, yh = pics["by.png"].size
    cw, ch = pics["close_button_grey.png"].size
    bar_l, bar_t = W // 4, bottom + (H - bottom - 36) // 2
    bar_r = bar_l + W // 2
    rects = {
        "product logo": (10, top, 10 + logo_w, bottom),
        "brand logo": (W - bw - 30, top + (logo_h - bh) // 2, W - 30, top + (logo_h - bh) // 2 + bh),
        "by-line": ((W - yw) // 2, top + (logo_h - yh) // 2, (W - yw) // 2 + yw, top + (logo_h - yh) // 2 + yh),
        "bar": (bar_l, bar_t, bar_r, bar_t + 11),
        "close button": (bar_r + 10, bar_t - 5, bar_r + 10 + cw, bar_t - 5 + ch),
    }
    if bar_t < bottom:
        fail(f"bar top {bar_t} overlaps the logo row ending at {bottom}")
    row = ["product logo", "by-line", "brand logo"]
    for a, b in zip(row, row[1:]):
        if rects[a][2] > rects[b][0]:
            fail(f"{a} {rects[a]} overlaps {b} {rects[b]}")
    bg = pics["VeskBackground.png"]
    for what, (l, t, r, b) in rects.items():
        box = bg.crop((l, t, r, b))
        if box.getchannel("A").getextrema()[0] != 255:
            fail(f"{what} {(l, t, r, b)} reaches the transparent edge of the background")
        # The light bar track, white logos and grey button need a dark, calm ground.
        lum = box.convert("L")
        if lum.getextrema()[1] > 60:
            fail(f"background under the {what} is too bright ({lum.getextrema()[1]})")

if failures:
    sys.exit(1)
print(f"ok   {len(expected)} pictures match a fresh drawing and fit the window")
PY
