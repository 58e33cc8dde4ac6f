#!/usr/bin/env bash
# Runs the whole suite of one build folder. Keychain tests need a Secret Service, so the run
# happens inside a private D-Bus session with an unlocked gnome-keyring; the offscreen Qt
# platform stands in for a display.
set -euo pipefail
build=${1:?build folder}
export QT_QPA_PLATFORM=offscreen
# Leaks are looked for; the suppressions list only what libraries below us keep for good.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
exec dbus-run-session -- bash -c '
  echo -n keskor-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1 || true
  ctest --test-dir "$0" --no-tests=error --output-on-failure -j "$(nproc)" --timeout 300
' "$build"
