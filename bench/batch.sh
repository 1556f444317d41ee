#!/usr/bin/env bash
# A batch of 200 short jobs (cuts of WAV, FLAC and MP3 files and splits of
# them into 10-second pieces, made from 30-second files sox, flac and lame
# wrote) on 2 workers, against the same commands run one after another by a
# shell loop (goal: at most 0.6x its time); and the batch's own overhead: a
# --dry-run of 10,000 lines (goal: under 1 s, 0.1 ms a line).
#   bench/batch.sh   (after scripts/build.sh; needs sox, flac and lame)
set -euo pipefail
. "$(dirname "$0")/common.sh"
cli="$PWD/$cli"
mkdir "$work/out"
for i in $(seq 0 9); do
  sox -n -r 44100 -c 2 -b 16 "$work/take$i.wav" synth 30 pinknoise vol 0.$((i + 1))
  flac --silent -o "$work/take$i.flac" "$work/take$i.wav"
  lame --quiet -b 160 "$work/take$i.wav" "$work/take$i.mp3"
done
extensions=(wav flac mp3)
printf 'command\tsource\ttarget\toptions\n' > "$work/jobs.tsv"
: > "$work/loop.sh"
for i in $(seq 0 199); do
  ext=${extensions[$((i % 3))]}
  source="$work/take$((i % 10)).$ext"
  if [ $((i % 4)) = 3 ]; then
    mkdir "$work/out/pieces$i"
    line=(split "$source" "$work/out/pieces$i" --every 10)
  else
    start=$((i % 20))
    line=(cut "$source" "$work/out/cut$i.$ext" --start "$start" --end "$((start + 5)).5")
  fi
  printf '%s\t%s\t%s\t%s\n' "${line[0]}" "${line[1]}" "${line[2]}" "${line[*]:3}" >> "$work/jobs.tsv"
  echo "\"$cli\" ${line[*]} --force --quiet" >> "$work/loop.sh"
done
sync
goal="goal <= 0.6" yardstick="shell loop" compare_in_turns "batch --jobs 2 (200 jobs)" -- \
  "$cli" batch "$work/jobs.tsv" --jobs 2 --force --quiet -- bash "$work/loop.sh"
"$cli" batch "$work/jobs.tsv" --jobs 2 --quiet | tail -1 | sed 's/^/  the batch again: /'

python3 - "$work/big.tsv" "$work" << 'PY'
import sys
with open(sys.argv[1], "w") as f:
    f.write("command\tsource\ttarget\toptions\n")
    for i in range(10000):
        f.write(f"cut\t{sys.argv[2]}/take{i % 10}.wav\t{sys.argv[2]}/out/many{i}.wav\t--start 1 --end 2\n")
PY
s=$(best_of_three "$cli" batch "$work/big.tsv" --dry-run)
python3 -c "print(f'batch --dry-run of 10,000 lines: {$s:.2f} s, {$s * 1000 / 10000:.3f} ms a line (goal: under 1 s)')"
