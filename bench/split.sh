#!/usr/bin/env bash
# Splitting a generated 60-minute 128 kbps MP3 (pink noise):
# 1. by a cue sheet of 20 tracks, clipwright-cli split --cue --lossless against
#    mp3splt -c, in turns; prints the best of three times and each tool's
#    error in samples at every boundary (where each piece's decode lies in the
#    source's decode). Goal: at most 1.5x mp3splt's time, 0 samples error.
# 2. at silences, in the same file with ten 1-second silences put in:
#    clipwright-cli split --silence --lossless against mp3splt -s and FFmpeg's
#    silencedetect; prints the times and whether every silence was found.
#    Goal: at most FFmpeg's time.
#   bench/split.sh   (after scripts/build.sh)
# Needs ffmpeg and mp3splt, which only the benchmarks use: apt-get install ffmpeg mp3splt
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_ffmpeg
command -v mp3splt > /dev/null || { echo "mp3splt is needed for the comparison: apt-get install mp3splt"; exit 1; }

silences="300 610 915 1234 1500 1800 2222 2700 3000 3333"  # each 1 s long, from these seconds on
ffmpeg -nostdin -loglevel error -f lavfi -i "anoisesrc=d=3600:c=pink:r=44100:a=0.3:seed=7" -ac 2 \
  -c:a libmp3lame -b:a 128k "$work/source.mp3"
quiet=$(for s in $silences; do printf "between(t,%d,%d)+" "$s" $((s + 1)); done)
ffmpeg -nostdin -loglevel error -f lavfi -i "anoisesrc=d=3600:c=pink:r=44100:a=0.3:seed=7" -ac 2 \
  -af "volume=enable='${quiet%+}':volume=0" -c:a libmp3lame -b:a 128k "$work/silent.mp3"

# 20 tracks at uneven times, in CD frames of 1/75 s.
python3 - "$work/source.cue" <<'PY'
import sys
lines = ['PERFORMER "Bench"', 'TITLE "Sixty minutes"', 'FILE "source.mp3" MP3']
for n in range(20):
    frames = 0 if n == 0 else n * 180 * 75 + (n * 1237) % 7500
    lines += [f"  TRACK {n + 1:02d} AUDIO", f'    TITLE "Track {n + 1}"',
              f"    INDEX 01 {frames // 75 // 60:02d}:{frames // 75 % 60:02d}:{frames % 75:02d}"]
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY

mkdir -p "$work/ours" "$work/splt"
ours=("$cli" split "$work/source.mp3" "$work/ours" --cue "$work/source.cue" --lossless --name "{n}" --force --quiet)
splt=(mp3splt -Q -f -c "$work/source.cue" -d "$work/splt" -o "@n" "$work/source.mp3")
sync
ours_s=999 splt_s=999 ours_kb=0
for _ in 1 2 3; do
  read -r s kb < <(measure "${ours[@]}"); ours_s=$(python3 -c "print(min($ours_s, $s))"); ours_kb=$(( kb > ours_kb ? kb : ours_kb ))
  read -r s kb < <(measure "${splt[@]}"); splt_s=$(python3 -c "print(min($splt_s, $s))")
done
python3 -c "print(f'cue sheet, 20 tracks: mp3splt -c {$splt_s:.2f} s, clipwright-cli split --cue --lossless {$ours_s:.2f} s: '
                  f'{$ours_s / max($splt_s, 0.01):.2f}x mp3splt (goal <= 1.5), peak RSS {$ours_kb / 1024:.1f} MB')"

decode() { ffmpeg -nostdin -loglevel error -i "$1" -f s16le -ac 2 -; }
decode "$work/source.mp3" > "$work/source.raw"
for tool in ours splt; do
  ls "$work/$tool"/*.mp3 | sort > "$work/$tool.list"
  while read -r piece; do decode "$piece" > "${piece%.mp3}.raw"; done < "$work/$tool.list"
  python3 - "$work/source.raw" "$work/source.cue" "$tool" "$work/$tool.list" <<'PY'
import os, re, sys
rate, frame = 44100, 4
source, cue, tool, listing = sys.argv[1:5]
starts = []
for m in re.finditer(r"INDEX 01 (\d+):(\d+):(\d+)", open(cue).read()):
    mm, ss, ff = map(int, m.groups())
    starts.append(round(((mm * 60 + ss) * 75 + ff) * rate / 75))
pieces = [line.strip()[:-4] + ".raw" for line in open(listing)]
def window(path, first, count):
    with open(path, "rb") as f:
        f.seek(first * frame)
        return f.read(count * frame)
errors = []
for n, piece in enumerate(pieces[1:], start=1):
    needle = window(piece, rate // 2, 128)   # half a second into the piece
    lo = max(0, starts[n] + rate // 2 - 5 * rate)
    hay = window(source, lo, 10 * rate)
    at = hay.find(needle)
    while at >= 0 and at % frame:
        at = hay.find(needle, at + 1)
    errors.append("?" if at < 0 else lo + at // frame - rate // 2 - starts[n])
name = {"ours": "clipwright-cli", "splt": "mp3splt -c"}[tool]
print(f"{name}: error at each of the {len(errors)} boundaries (samples): {' '.join(map(str, errors))}")
PY
done

# Silences: the same noise with ten 1-second silences.
rm -rf "$work/ours" "$work/splt"; mkdir -p "$work/ours" "$work/splt"
ours=("$cli" split "$work/silent.mp3" "$work/ours" --silence --lossless --name "{n}" --force --quiet)
splt=(mp3splt -f -s -p th=-50,min=0.5 -d "$work/splt" "$work/silent.mp3")
detect=(ffmpeg -nostdin -loglevel error -i "$work/silent.mp3" -af silencedetect=noise=-50dB:d=0.5 -f null -)
ours_s=999 splt_s=999 detect_s=999
for _ in 1 2 3; do
  read -r s kb < <(measure "${ours[@]}"); ours_s=$(python3 -c "print(min($ours_s, $s))")
  read -r s kb < <(measure "${splt[@]}"); splt_s=$(python3 -c "print(min($splt_s, $s))")
  read -r s kb < <(measure "${detect[@]}"); detect_s=$(python3 -c "print(min($detect_s, $s))")
done
ls "$work/splt" | grep -c . | sed 's/^/mp3splt -s pieces: /'
python3 -c "print(f'silences: ffmpeg silencedetect {$detect_s:.2f} s, mp3splt -s {$splt_s:.2f} s, clipwright-cli split --silence --lossless {$ours_s:.2f} s: '
                  f'{$ours_s / max($detect_s, 0.01):.2f}x FFmpeg (goal <= 1.0)')"
"$cli" info "$work/silent.mp3" | grep -q "total_samples" || true
python3 - "$work/ours" "$silences" "$cli" <<'PY'
import os, subprocess, sys
folder, silences, cli = sys.argv[1], [int(s) for s in sys.argv[2].split()], sys.argv[3]
pieces = sorted(os.listdir(folder))
edges, at = [], 0
for piece in pieces[:-1]:
    out = subprocess.run([cli, "info", os.path.join(folder, piece)], capture_output=True, text=True).stdout
    at += int(out.split("total_samples: ")[1].split()[0])
    edges.append(at / 44100)
found = [s for s in silences if any(abs(e - (s + 0.5)) < 0.1 for e in edges)]
print(f"clipwright-cli: {len(pieces)} pieces, {len(found)} of the {len(silences)} silences found at their middles"
      f" (boundaries at {', '.join(f'{e:.3f}' for e in edges)} s)")
PY
