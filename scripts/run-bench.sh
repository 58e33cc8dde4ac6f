#!/usr/bin/env bash
# Runs every benchmark of a build folder, each printing its own figures.
set -euo pipefail
build=${1:?build folder}
export QT_QPA_PLATFORM=offscreen
home=$(mktemp -d); trap 'rm -rf "$home"' EXIT
export KESKOR_HOME="$home"
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $b"
  "$b" "$@"
done
for s in "$(dirname "$0")"/../bench/*_bench.sh; do
  [ -x "$s" ] || continue
  echo "== $s"
  "$s" "$build"
done
