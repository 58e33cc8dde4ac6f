#!/usr/bin/env bash
# Runs each fuzz target of a build for FUZZ_SECONDS (default 30) on its seed corpus under
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer. Inputs the run discovers go to
# a scratch folder, so the committed corpus stays small and real; a finding stops the run and
# leaves the input beside the target (<build>/fuzz/<target>-crash-...). FUZZ_TARGETS narrows the
# run to some targets (names without the _fuzz suffix). A target's fuzz/<target>.options
# ([libfuzzer] section, key = value) adds its own flags, such as the longest input worth trying.
set -euo pipefail
build=${1:?build folder}
secs=${FUZZ_SECONDS:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
# The parsers allocate a lot per input: filling every new block, deep allocation stacks and a
# 256 MB quarantine cost more than the checks themselves (more than twice the executions without them).
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:malloc_context_size=8:max_malloc_fill_size=0:quarantine_size_mb=32}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for f in "$build"/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  if [ -n "${FUZZ_TARGETS:-}" ] && ! [[ " $FUZZ_TARGETS " == *" ${name%_fuzz} "* ]]; then
    continue
  fi
  mkdir -p "$scratch/$name"
  options=()
  if [ -f "$root/fuzz/$name.options" ]; then
    mapfile -t options < <(sed -n 's/^\([a-z_]*\) *= *\(.*\)$/-\1=\2/p' "$root/fuzz/$name.options")
  fi
  echo "== $name ($secs s)"
  set +e
  "$f" -max_total_time="$secs" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    "${options[@]}" -artifact_prefix="$build/fuzz/$name-" "$scratch/$name" "$root/fuzz/corpus/$name" 2>&1 |
    grep -E '^(stat::|#[0-9]+ +DONE)|ERROR|SUMMARY|runtime error|Test unit written|==[0-9]+=='
  status=${PIPESTATUS[0]}
  set -e
  [ "$status" -eq 0 ] || { echo "!! $name failed ($status)"; exit 1; }
done
