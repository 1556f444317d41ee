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
