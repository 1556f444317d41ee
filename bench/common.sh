# Shared by the benchmark scripts (sourced): a work folder removed at exit;
# `measure COMMAND...`, which runs it and prints "seconds kilobytes" (wall
# time and peak memory); `best_of_three COMMAND...`, the shortest wall time
# of three runs.
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
