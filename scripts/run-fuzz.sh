#!/usr/bin/env bash
# Runs each fuzz target for a short while (FUZZ_SECONDS, default 30) on its seed corpus.
set -euo pipefail
build=${1:?build folder}
secs=${FUZZ_SECONDS:-30}
for f in "$build"/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  corpus="fuzz/corpus/$name"
  mkdir -p "$corpus"
  echo "== $name ($secs s)"
  QT_QPA_PLATFORM=offscreen "$f" -max_total_time="$secs" -rss_limit_mb=2048 "$corpus"
done
