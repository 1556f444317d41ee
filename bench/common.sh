# Shared by the benchmark scripts (sourced): a work folder removed at exit;
# `measure COMMAND...`, which runs it and prints "seconds kilobytes" (wall
# time and peak memory); `best_of_three COMMAND...`, the shortest wall time
# of three runs.
# Run from the top folder, after scripts/build.sh. `need_ffmpeg` stops a
# script that compares with FFmpeg when it is not installed.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
cli=build/cli/clipwright-cli
[ -x "$cli" ] || { echo "build first: scripts/build.sh"; exit 1; }

need_ffmpeg() {
  command -v ffmpeg > /dev/null || { echo "ffmpeg is needed for the comparison: apt-get install ffmpeg"; exit 1; }
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2>&1
  cat "$work/time"
}

best_of_three() {
  local best=999 s kb
  for _ in 1 2 3; do
    read -r s kb < <(measure "$@")
    best=$(python3 -c "print(min($best, $s))")
  done
  echo "$best"
}

# compare_in_turns WHAT -- OURS... -- THEIRS...: runs both three times, in
# turns, and prints the best times, their ratio and our peak memory; $goal,
# when set, is the goal printed beside the ratio, $yardstick what THEIRS is
# called (ffmpeg unless set).
compare_in_turns() {
  local what="$1"; shift 2
  local ours=() theirs=()
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  theirs=("$@")
  local ours_s=999 theirs_s=999 ours_kb=0 s kb
  for _ in 1 2 3; do
    read -r s kb < <(measure "${ours[@]}")
    ours_s=$(python3 -c "print(min($ours_s, $s))")
    ours_kb=$(( kb > ours_kb ? kb : ours_kb ))
    read -r s kb < <(measure "${theirs[@]}")
    theirs_s=$(python3 -c "print(min($theirs_s, $s))")
  done
  python3 -c "print(f'${yardstick:-ffmpeg} {$theirs_s:.2f} s, clipwright-cli $what {$ours_s:.2f} s, ratio {$ours_s / max($theirs_s, 0.01):.2f} (${goal:-goal <= 1.0}), peak RSS {$ours_kb / 1024:.1f} MB')"
}
