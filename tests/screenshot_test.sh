#!/usr/bin/env bash
# The main window on a real X display (Xvfb): the waveform of a file opened
# from the command line is drawn. Grabs the screen as scripts/screenshot.sh
# does and counts the waveform's green in the view's rectangle.
#   tests/screenshot_test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/scripts/screenshot.sh" "$1" "$work/shot.png"
convert "$work/shot.png" "$work/shot.ppm"
python3 - "$work/shot.ppm" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
# Binary PPM: "P6", width, height, maximum, then RGB triples.
fields, at = [], 0
while len(fields) < 4:
    while data[at:at + 1].isspace():
        at += 1
    start = at
    while not data[at:at + 1].isspace():
        at += 1
    fields.append(data[start:at])
width, height = int(fields[1]), int(fields[2])
pixels = data[at + 1:]
assert (width, height) == (513, 447), f"the window is {width}x{height}, not 513x447"
def green(x, y):
    r, g, b = pixels[3 * (y * width + x):3 * (y * width + x) + 3]
    return g > r + 60 and g > b + 40
# The view's bands: below its ruler, above its scroll bar.
inside = sum(green(x, y) for x in range(8, 504) for y in range(113, 189))
outside = sum(green(x, y) for x in range(8, 504) for y in range(262, 440))
area = (504 - 8) * (189 - 113)
assert inside > area // 10, f"the waveform is not drawn: {inside} green pixels of {area}"
assert outside == 0, f"green where no waveform is: {outside} pixels"
print(f"waveform drawn: {inside} green pixels of {area}")
PY
