#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time (FUZZ_SECONDS, default 60).
# Exits non-zero when a target finds a crash; the reproducer is left in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
out=build-fuzz
mkdir -p "$out/crashes"

# Seeds: a small valid slice-compressed volume (with its 3-byte dimension prefix), a valid block,
# and a colour JPEG slice from the same tool.
seeds=$out/seeds
rm -rf "$seeds" && mkdir -p "$seeds"/{slice_volume_fuzz,compressed_block_fuzz,bgra_jpeg_fuzz}
"$out/tools/volumira-tool" volume phantom "$seeds/v.comp" --dims 4 16 16 >/dev/null
{ printf '\x03\x0f\x0f'; cat "$seeds/v.comp"; } > "$seeds/slice_volume_fuzz/phantom"
# Block seed: lengths 4 and 12, then zlib's stream for "abcd".
printf '\x04\x00\x00\x00\x0c\x00\x00\x00\x78\x9c\x4b\x4c\x4a\x4e\x01\x00\x03\xd8\x01\x8b' > "$seeds/compressed_block_fuzz/abcd"
tail -c +17 "$seeds/v.comp" > "$seeds/bgra_jpeg_fuzz/gray-slice"

status=0
for target in compressed_block_fuzz slice_volume_fuzz bgra_jpeg_fuzz; do
  corpus=$out/corpus/$target
  mkdir -p "$corpus"
  echo "== $target for ${seconds}s"
  if ! "$out/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$out/crashes/$target-" -print_final_stats=1 "$corpus" "$seeds/$target" 2>"$out/$target.log"; then
    echo "!! $target found a problem; see $out/$target.log and $out/crashes/"
    status=1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$out/$target.log" || true
done
exit $status
