#!/usr/bin/env bash
# Programs whose start-up is measured keep their file sections page-aligned: Wine then maps
# the image from the file instead of reading all of it (debug information included) into
# memory at every start.
# Usage: image_layout.sh OBJDUMP EXE...
set -u
. "$(dirname "$0")/../harness/lib.sh"
objdump=$1
shift
for exe in "$@"; do
    name=$(basename "$exe")
    header=$("$objdump" -p "$exe") || { fail "$name: objdump cannot read it"; continue; }
    align=$(printf '%s\n' "$header" | awk '$1 == "FileAlignment" { print $2 }')
    if [ -z "$align" ]; then
        fail "$name: no FileAlignment in its header"
    elif [ $((16#$align)) -ne 4096 ]; then
        fail "$name: FileAlignment 0x$align, expected 0x1000"
    else
        pass "$name: FileAlignment 0x1000"
    fi
    # Every section with data in the file starts on a page boundary.
    sections=$("$objdump" -h "$exe" | awk 'NF >= 7 && $1 ~ /^[0-9]+$/ && $3 != "00000000" { print $2, $6 }')
    [ -n "$sections" ] || { fail "$name: no sections listed"; continue; }
    odd=""
    while read -r section offset; do
        (( 16#$offset % 4096 )) && odd+=" $section"
    done <<< "$sections"
    if [ -n "$odd" ]; then fail "$name: sections off a page boundary:$odd"; else pass "$name: sections page-aligned"; fi
done
finish image_layout
