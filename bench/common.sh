# Shared by the benchmark scripts (sourced): a work folder removed at exit,
# and `measure COMMAND...`, which runs it and prints "seconds kilobytes"
# (wall time and peak memory).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2>&1
  cat "$work/time"
}
