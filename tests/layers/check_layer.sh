#!/usr/bin/env bash
# check_layer.sh COMPILER LOWER_VIEW HIGHER_VIEW SOURCE [FLAGS...]
# SOURCE includes a header of a higher folder. It must compile against the
# higher folder's view of the tree, and fail against the lower one's for
# that header alone: any other failure (a missing include path, a typo)
# would make the check pass for the wrong reason.
set -uo pipefail
compiler=$1 lower=$2 higher=$3 source=$4
shift 4
header=$(grep -m1 -o '#include "[^"]*"' "$source" | cut -d'"' -f2)
if ! "$compiler" -std=c++20 -fsyntax-only -I"$higher" "$@" "$source"; then
  echo "FAIL: $source does not compile against $higher, where $header belongs"
  exit 1
fi
if out=$("$compiler" -std=c++20 -fsyntax-only -I"$lower" "$@" "$source" 2>&1); then
  echo "FAIL: $source compiles against $lower, which must not see $header"
  exit 1
fi
if ! grep -q "$header: No such file or directory" <<<"$out"; then
  echo "FAIL: $source fails against $lower for another reason than $header:"
  echo "$out"
  exit 1
fi
echo "ok: $header is seen from $higher and not from $lower"
