#!/usr/bin/env python3
"""Reads the #include lines under src/ and reports every one that points up the layer order.

Order, lowest first: framework, updater/base, updater/expr, updater/config,
updater/transfer, updater/core, then launcher and skin. A file may include its own
layer and the layers below it. The portable parts (base, expr and config outside their
win32/ folders) include no Windows header and nothing of the framework.

Usage: check-layers.py [SRC_DIR]   (default: src/ beside this script's folder)
Exit 0 when clean, 1 with one line per offending include.
"""
import pathlib
import re
import sys

RANK = {
    "framework": 0,
    "updater/base": 1,
    "updater/expr": 2,
    "updater/config": 3,
    "updater/transfer": 4,
    "updater/core": 5,
    "launcher": 6,
    "skin": 6,
}
PORTABLE = ("updater/base", "updater/expr", "updater/config")
# Windows SDK headers a portable file must not reach for.
WINDOWS_HEADERS = re.compile(r"^(windows|winbase|wininet|wincrypt|shlobj|shellapi|setupapi|objbase|msi|winreg|gdiplus)\.h$", re.I)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(relative):
    """The layer a path below src/ belongs to, or None."""
    for name in sorted(RANK, key=len, reverse=True):
        if relative == name or relative.startswith(name + "/"):
            return name
    return None


def check(src):
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        relative = path.relative_to(src).as_posix()
        own = layer_of(relative)
        if own is None:
            continue
        portable = own in PORTABLE and "/win32/" not in relative
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            quoted, target = m.group(1) == '"', m.group(2)
            where = f"{relative}:{number}: {line.strip()}"
            if quoted:
                other = layer_of(target)
                if other is not None and RANK[other] > RANK[own]:
                    problems.append(f"{where}: {own} may not include the higher layer {other}")
                elif portable and other == "framework":
                    problems.append(f"{where}: the portable {own} may not include the framework")
                elif portable and "/win32/" in target:
                    problems.append(f"{where}: the portable {own} may not include Win32-only code")
            elif portable and WINDOWS_HEADERS.match(target):
                problems.append(f"{where}: the portable {own} may not include a Windows header")
    return problems


def main():
    src = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "src"
    if not src.is_dir():
        print(f"check-layers: no such folder {src}", file=sys.stderr)
        return 2
    problems = check(src)
    for p in problems:
        print(p)
    print(f"check-layers: {len(problems)} include(s) against the layer order in {src}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
