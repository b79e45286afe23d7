#!/usr/bin/env bash
# deb_package_check.sh BUILD_DIR VERSION: builds the .deb with cpack from the build tree, checks its control
# fields, unpacks it with dpkg-deb into a temporary root and runs the checks of verify_installation.sh on
# its /usr. Exits 77 (skipped) where the Debian tools are missing.
set -euo pipefail
build=$1 version=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in cpack dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ -f "$build/share/sample-data.stamp" ] \
  || { echo "FAIL: no generated sample Data in $build/share; build the whole project first" >&2; exit 1; }
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The package and cpack's staging tree go to the scratch folder, not into the build tree.
cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" > "$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/cpack/volumira_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single volumira .deb: $(ls "$work/cpack")"
deb=${debs[0]}

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = volumira ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version)"
[ "$(field Maintainer)" = "Tessaly Institute <volumira@localhost>" ] || fail "maintainer $(field Maintainer)"
depends=$(field Depends)
for package in libqt6widgets6 libqt6openglwidgets6 libqt6gui6 libglu1-mesa libcurl4 libexpat1 libjpeg62-turbo \
               libsqlite3-0 zlib1g libpng16-16; do
  grep -qE "(^|[ ,|])$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
dpkg-deb --contents "$deb" > "$work/contents.txt"
for path in ./usr/bin/volumira ./usr/bin/volumira-tool ./usr/bin/volumira-server \
            ./usr/share/volumira/Data/ontology.csv ./usr/share/volumira/Documentation/Tutorial.pdf \
            ./usr/share/applications/volumira.desktop ./usr/share/mime/packages/volumira.xml; do
  grep -qE " $path\$" "$work/contents.txt" || fail "the package lacks $path"
done
echo "ok: $(basename "$deb"), $(stat -c %s "$deb") bytes; Depends: $depends"

dpkg-deb -x "$deb" "$work/root"
"$here/verify_installation.sh" "$work/root/usr" "$version" "$build/share/Data" "$work"
