#!/usr/bin/env bash
# install_tree_check.sh BUILD_DIR VERSION: `cmake --install` of the build tree into a temporary prefix, then
# the checks of verify_installation.sh on it.
set -euo pipefail
build=$1 version=$2
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$build/share/sample-data.stamp" ] \
  || { echo "FAIL: no generated sample Data in $build/share; build the whole project first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" > "$work/install.log" \
  || { cat "$work/install.log"; echo "FAIL: cmake --install" >&2; exit 1; }
echo "ok: cmake --install into $work/prefix ($(du -sh "$work/prefix" | cut -f1))"
"$here/verify_installation.sh" "$work/prefix" "$version" "$build/share/Data" "$work"
