#!/usr/bin/env bash
# The main job: builds the viewer, the tool and the data server, generates the sample atlas and gene data
# into out/Data, loads and checks it the way the program does (unpacking into out/Atlas), renders a
# section along each axis, starts the data server on loopback, fetches Gad1 from it, draws the 3D scene
# with that gene headlessly, and opens the viewer on it when there is a display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target volumira volumira-tool volumira-server volumira-tutorial
tool=build/tools/volumira-tool
mkdir -p out
[ -f out/Data/ontology.csv ] && [ -f out/Data/Catalogue.db ] || $tool make-sample-data out/Data
# The help documents lie beside the Data folder, as in an installation, for the viewer's Help menu.
cp -r build/share/Documentation out/
$tool atlas check out/Data --atlas-dir out/Atlas
$tool atlas plate 60 30 40 --data out/Data --atlas-dir out/Atlas
$tool atlas slice out/Data --axis x --position 57 --out out/coronal.png
$tool atlas slice out/Data --axis y --position 28 --out out/horizontal.png
$tool atlas slice out/Data --axis z --position 50 --out out/sagittal.png

# The data server, as the viewer reaches it by default.
port=${VOLUMIRA_PORT:-8338}
server="http://127.0.0.1:$port"
build/tools/volumira-server/volumira-server --data out/Data --port "$port" 2> out/server.log &
server_pid=$!
trap 'kill -TERM "$server_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do curl -sf -o /dev/null "$server/Volumira/versions.xml" && break; sleep 0.1; done
echo "Searching the data server for Gad1:"
answer=$(curl -sf -H "Content-Type: text/xml" --data-binary @- "$server/services/GeneSearchService" <<'SOAP'
<?xml version="1.0" encoding="utf-8"?>
<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/">
<soap:Body>
<getGeneList1 xmlns="urn:volumira:GeneSearchService">
<in0>Gad1</in0>
<in1>10</in1>
<in2>0</in2>
<in3>gene</in3>
<in4>false</in4>
<in5 />
<in6>0310</in6>
</getGeneList1>
</soap:Body></soap:Envelope>
SOAP
)
echo "$answer" | grep -o '<totalResultsSize>[0-9]*\|<geneSymbol>[^<]*\|<imageSeriesId>[0-9]*' | paste -sd ' '
series=$(echo "$answer" | grep -o '<imageSeriesId>[0-9]*' | head -1 | sed 's/<imageSeriesId>//')
curl -sf -o out/Gad1.xpr "$server/GridFile?imageseriesid=$series&level=2"
$tool xpr info out/Gad1.xpr --data out/Data
$tool render --data out/Data --atlas-dir out/Atlas --gene out/Gad1.xpr --sections 66,-1,-1 \
  --rotation 0,0.3827,0,0.9239 --zoom 50 --out out/scene.png
if [ -n "${DISPLAY:-}" ]; then
  echo "Opening the viewer on Gad1 (close its window to finish)..."
  VOLUMIRA_DATA_DIR=out/Data VOLUMIRA_ATLAS_DIR=out/Atlas build/src/app/volumira out/Gad1.xpr || true
else
  echo "No display (DISPLAY is not set): the viewer needs an X server; the same scene is in out/scene.png."
fi
kill -TERM "$server_pid" && wait "$server_pid"
trap - EXIT
echo "Done: sections of the sample atlas are in out/coronal.png, out/horizontal.png and out/sagittal.png;"
echo "the 3D scene with Gad1 in out/scene.png; Gad1's expression file from the data server is out/Gad1.xpr,"
echo "the server's log out/server.log"
