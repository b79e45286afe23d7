#!/usr/bin/env bash
# verify_installation.sh PREFIX VERSION GENERATED_DATA WORK
# Checks an installed Volumira tree the way a user meets it: the files are there and well formed, the
# installed Data is the generated one, the tool finds it from any directory (and after the prefix moves), and
# the data server answers from it on loopback. WORK is a scratch folder the caller removes.
set -euo pipefail
prefix=$1 version=$2 generated=$3 work=$4

fail() { echo "FAIL: $*" >&2; exit 1; }
check() { echo "ok: $*"; }

data=$prefix/share/volumira/Data
docs=$prefix/share/volumira/Documentation

# ---- programs ----
for program in volumira volumira-tool volumira-server; do
  [ -x "$prefix/bin/$program" ] || fail "$prefix/bin/$program is not an executable"
  missing=$(ldd "$prefix/bin/$program" | grep 'not found' || true)
  [ -z "$missing" ] || fail "$program lacks libraries: $missing"
done
check "the three programs are installed with all their libraries"

# ---- the Data: exactly what the generator wrote ----
[ -d "$data" ] || fail "no Data directory at $data"
diff -rq "$generated" "$data" || fail "the installed Data differs from the generated $generated"
for file in ontology.csv Annotation100 Annotation25 Atlas25.comp SagittalAtlasMap.comp SearchDomains.xml \
            GLM.db Catalogue.db; do
  [ -s "$data/$file" ] || fail "Data lacks $file"
done
structures=$(grep -c . "$data/ontology.csv")
meshes=$(find "$data/Mesh25" -name '*.msh' | wc -l)
[ "$meshes" -eq "$structures" ] || fail "$meshes meshes for $structures structures"
check "Data holds the generated atlas ($structures structures, $meshes meshes)"

# ---- documents ----
pdf=$docs/Tutorial.pdf
[ "$(head -c 5 "$pdf")" = "%PDF-" ] || fail "Tutorial.pdf is not a PDF"
tail -c 64 "$pdf" | grep -q '%%EOF' || fail "Tutorial.pdf is truncated"
pages=$(grep -ac '/Type /Page\b' "$pdf" || true)
[ "$pages" -ge 2 ] || fail "Tutorial.pdf has $pages pages"
if command -v pdftotext >/dev/null; then
  text=$(pdftotext "$pdf" -)
  for phrase in "Volumira Tutorial" "F1" "Clipping planes" "Bookmarks" "The gene list"; do
    grep -qF "$phrase" <<<"$text" || fail "Tutorial.pdf does not mention \"$phrase\""
  done
fi
grep -qF "Volumira $version - Release Notes" "$docs/Readme.txt" || fail "Readme.txt does not name version $version"
! grep -q '@[A-Z_]*@' "$docs/Readme.txt" || fail "Readme.txt has an unreplaced placeholder"
check "Tutorial.pdf ($pages pages) and Readme.txt"

# ---- desktop entry, MIME type, icons ----
desktop=$prefix/share/applications/volumira.desktop
for line in "[Desktop Entry]" "Type=Application" "Name=Volumira" "Exec=volumira %f" "Icon=volumira" \
            "MimeType=application/x-volumira-expression;" "Categories=Science;Biology;Education;"; do
  grep -qxF "$line" "$desktop" || fail "volumira.desktop lacks the line $line"
done
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi

mime=$prefix/share/mime/packages/volumira.xml
if command -v xmllint >/dev/null; then
  xmllint --noout "$mime" "$prefix"/share/icons/hicolor/scalable/*/*.svg
fi
grep -qF '<mime-type type="application/x-volumira-expression">' "$mime" || fail "MIME type not declared"
grep -qF '<comment>Volumira gene expression file</comment>' "$mime" || fail "MIME comment missing"
grep -qF '<glob pattern="*.xpr"/>' "$mime" || fail "MIME glob missing"
if command -v update-mime-database >/dev/null; then
  # Compiled the way the system does it, the type must claim the extension.
  mkdir -p "$work/mime/packages"
  cp "$mime" "$work/mime/packages/"
  update-mime-database "$work/mime" > /dev/null
  grep -q '^[0-9]*:application/x-volumira-expression:\*\.xpr' "$work/mime/globs2" \
    || fail "update-mime-database does not map *.xpr to the type"
fi
for icon in apps/volumira.svg mimetypes/application-x-volumira-expression.svg; do
  grep -q '<svg ' "$prefix/share/icons/hicolor/scalable/$icon" || fail "$icon is not an SVG"
done
check "desktop entry, MIME type and icons"

# ---- manual pages ----
for program in volumira volumira-tool volumira-server; do
  page=$prefix/share/man/man1/$program.1
  head -n 1 "$page" | grep -q "^\.TH ${program^^} 1 .*Volumira $version" || fail "$program.1 has no title line"
  if command -v groff >/dev/null; then
    # Every warning except lines that cannot be justified, which depend on the terminal's width.
    warnings=$(groff -man -Tutf8 -ww -Wbreak -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$program.1: $warnings"
  fi
done
check "manual pages"

# ---- the tool finds the installed Data from another directory ----
elsewhere=$work/elsewhere
mkdir -p "$elsewhere" "$work/home"
run_tool() {
  (cd "$elsewhere" && env -u VOLUMIRA_DATA_DIR HOME="$work/home" XDG_DATA_HOME="$work/home/data" \
     VOLUMIRA_ATLAS_DIR="$work/atlas" "$@")
}
run_tool "$prefix/bin/volumira-tool" atlas check "$data" --json > "$work/check.json" \
  || { cat "$work/check.json"; fail "atlas check found problems in $data"; }
grep -q '"problems": \[\]' "$work/check.json" || fail "atlas check reported problems"
# Without --data the tool uses the Data the program finds; the answer must be the installed Data's.
run_tool "$prefix/bin/volumira-tool" atlas plate 65 35 40 --json > "$work/plate-found.json" \
  || fail "volumira-tool did not find the installed Data from $elsewhere"
run_tool "$prefix/bin/volumira-tool" atlas plate 65 35 40 --data "$data" --json > "$work/plate-named.json"
cmp -s "$work/plate-found.json" "$work/plate-named.json" || fail "the Data found is not the installed one"
grep -q '"path": "' "$work/plate-found.json" || fail "no plate in $(cat "$work/plate-found.json")"

# The same program without an installation around it must not find any Data, and say where it looked.
mkdir -p "$work/lonely/bin"
cp "$prefix/bin/volumira-tool" "$work/lonely/bin/"
if run_tool "$work/lonely/bin/volumira-tool" atlas plate 65 35 40 2> "$work/lonely.err" >/dev/null; then
  fail "a copy of the tool outside the installation found Data"
fi
grep -qF "Data directory tried: $work/lonely/bin/Data/" "$work/lonely.err" || fail "unexpected: $(cat "$work/lonely.err")"

# The environment override comes before the installed Data.
if (cd "$elsewhere" && VOLUMIRA_DATA_DIR="$work/nowhere" VOLUMIRA_ATLAS_DIR="$work/atlas" \
      "$prefix/bin/volumira-tool" atlas plate 65 35 40 2> "$work/override.err" >/dev/null); then
  fail "VOLUMIRA_DATA_DIR naming a missing folder was ignored"
fi
grep -qF "Data directory tried: $work/nowhere/" "$work/override.err" || fail "unexpected: $(cat "$work/override.err")"

# A moved prefix still finds its own Data.
moved=$prefix.moved
mv "$prefix" "$moved"
trap 'mv "$moved" "$prefix" 2>/dev/null || true' EXIT
run_tool "$moved/bin/volumira-tool" atlas plate 65 35 40 --json > "$work/plate-moved.json" \
  || fail "after moving the prefix the tool no longer finds its Data"
cmp -s "$work/plate-found.json" "$work/plate-moved.json" || fail "the moved installation answers differently"
mv "$moved" "$prefix"
trap - EXIT
check "volumira-tool finds the installed Data from another directory and after the prefix moves"

# ---- the data server answers from the installed Data, on loopback only ----
server_pid=""
stop_server() { [ -n "$server_pid" ] && kill -TERM "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true; }
trap stop_server EXIT
(cd "$elsewhere" && exec "$prefix/bin/volumira-server" --data "$data" --port 0 --bind 127.0.0.1) \
  > "$work/server.out" 2> "$work/server.err" &
server_pid=$!
port=""
for _ in $(seq 300); do
  port=$(sed -n 's|.* on http://127\.0\.0\.1:\([0-9]*\)$|\1|p' "$work/server.out")
  [ -n "$port" ] && break
  kill -0 "$server_pid" 2>/dev/null || fail "the server ended: $(cat "$work/server.err")"
  sleep 0.1
done
[ -n "$port" ] || fail "the server did not say where it listens: $(cat "$work/server.out" "$work/server.err")"

fetch() { curl --noproxy '*' -sS --max-time 30 -o "$2" -w '%{http_code}' "http://127.0.0.1:$port$1"; }
status=$(fetch /Volumira/versions.xml "$work/versions.xml")
[ "$status" = 200 ] || fail "versions.xml answered $status"
domains=$(sed -n 's/.*<SearchDomains[^>]* version="\([^"]*\)".*/\1/p' "$data/SearchDomains.xml" | head -n 1)
[ -n "$domains" ] || fail "no version in SearchDomains.xml"
grep -q '<versions>' "$work/versions.xml" || fail "not a versions file: $(cat "$work/versions.xml")"
grep -qF "<searchAPI oldest=\"1\" domains=\"$domains\"/>" "$work/versions.xml" \
  || fail "versions.xml does not carry the installed search domains' version $domains"
grep -qF "<infoUrl>http://127.0.0.1:$port/</infoUrl>" "$work/versions.xml" || fail "versions.xml names another server"
status=$(fetch /Volumira/SearchDomains.xml "$work/domains.xml")
[ "$status" = 200 ] && cmp -s "$work/domains.xml" "$data/SearchDomains.xml" || fail "SearchDomains.xml is not the installed one"
status=$(fetch /Volumira/no-such-file "$work/missing.txt")
[ "$status" = 404 ] || fail "an unknown path answered $status"

kill -TERM "$server_pid"
server_status=0
wait "$server_pid" || server_status=$?
server_pid=""
trap - EXIT
[ "$server_status" -eq 0 ] || fail "the server ended with status $server_status on SIGTERM"
grep -qF "/Volumira/versions.xml" "$work/server.err" || fail "the server did not log the request"
check "volumira-server served versions.xml (search domains $domains) on 127.0.0.1:$port and stopped cleanly"
