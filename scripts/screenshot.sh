#!/usr/bin/env bash
# Takes a picture of the main window showing the waveform of a generated
# file: the program runs under Xvfb (a display in memory) and ImageMagick's
# `import` grabs the screen.
#   scripts/screenshot.sh BUILD_DIR OUT.png
# SCREEN (WxH, 640x560 unless set) is the display's size; GEOMETRY
# (WxH+X+Y) places the window, e.g. GEOMETRY=1920x1080+0+0 SCREEN=1920x1080
# for a maximised one; QT_SCALE_FACTOR=2 draws it at twice the scale.
# Needs xvfb-run and ImageMagick (scripts/install-deps.sh installs both).
set -euo pipefail
build="$1"
out="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$(dirname "$0")/demo_wav.py" "$work/speech.wav"
# A folder of its own for the single-instance socket: another running copy
# must not take the file instead.
# On the X display, whatever platform the caller chose (the tests run headless).
QT_QPA_PLATFORM=xcb TMPDIR="$work" XDG_RUNTIME_DIR="$work" CLIPWRIGHT_AUDIO_OUTPUT=silent \
  xvfb-run -a -s "-screen 0 ${SCREEN:-640x560}x24" bash -c '
    "$1" ${GEOMETRY:+-geometry "$GEOMETRY"} "$2" & app=$!
    # Until the window is on the screen (slow under a sanitizer or a load),
    # then a moment for the peaks.
    for _ in $(seq 200); do
      sleep 0.5
      kill -0 "$app" 2>/dev/null || { echo "the program ended before it was shown" >&2; exit 1; }
      import -window root "$3"
      [ "$(convert "$3" -trim -format %w info: 2>/dev/null)" -gt 100 ] && break
    done
    sleep 2
    # With xdotool, a drag in the waveform shows a selection (the window is
    # centred: its waves lie 64 + 8.. across and 57 + 112.. down).
    if command -v xdotool > /dev/null; then
      xdotool mousemove 250 210 mousedown 1 mousemove 300 210 mousemove 372 210 mouseup 1 mousemove 600 540
      sleep 1
    fi
    import -window root "$3"
    kill "$app"
  ' _ "$build/app/clipwright" "$work/speech.wav" "$work/screen.png"
# The window sits on a black screen without a window manager: trim the black.
convert "$work/screen.png" -trim +repage "$out"
