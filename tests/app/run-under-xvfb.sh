#!/usr/bin/env bash
# Runs a command against a private X server, so GUI tests need no desktop and leave nothing behind.
# Mesa and Qt write caches under HOME: a throw-away one keeps the user's clean.
set -euo pipefail
work=$(mktemp -d)
cleanup() {
  [[ -n "${xvfb:-}" ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")" HOME="$work" XDG_CONFIG_HOME="$work/config" \
  XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$@"
