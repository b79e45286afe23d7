#!/usr/bin/env bash
# fuzz/run.sh [TARGET...]: builds the fuzz targets with clang (the "fuzz" preset) and runs each, or the ones
# named, for FUZZ_SECONDS (default 60) one after another. Prints real seconds, executions and peak memory per
# target and appends them to build-fuzz/fuzz-log.tsv. An input that crashes or hangs a target is copied into
# tests/fuzz-regressions/<target>/, where the replay test of the normal suite keeps it; exits non-zero then.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
out=build-fuzz
all_targets=(compressed_block_fuzz slice_volume_fuzz bgra_jpeg_fuzz
  expression_fuzz mesh_fuzz ontology_fuzz colour_map_fuzz sagittal_map_fuzz
  search_domains_fuzz versions_fuzz bookmarks_fuzz search_response_fuzz gene_list_fuzz image_properties_fuzz
  soap_request_fuzz anatomic_query_fuzz request_path_fuzz)
targets=("${@:-${all_targets[@]}}")

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_seeds "${targets[@]}"

# Seeds from the project's own writers and server, and the sample data the server-side harnesses read.
seeds=$out/seeds
if [ ! -f "$seeds/.complete" ]; then
  rm -rf "$seeds"
  ASAN_OPTIONS=detect_leaks=0 "$out/fuzz/fuzz_seeds" "$seeds"
  touch "$seeds/.complete"
fi
export VOLUMIRA_FUZZ_DATA=$PWD/$seeds/sample-data/
# Process-wide singletons are left for the system to reclaim; leaks are not what this hunts.
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=0

mkdir -p "$out/crashes"
status=0
printf 'target\tseconds\texecutions\tpeak_rss_mb\tresult\n'
for target in "${targets[@]}"; do
  corpus=$out/corpus/$target
  mkdir -p "$corpus" "$seeds/$target"
  log=$out/$target.log
  start=$(date +%s.%N)
  result=clean
  if ! "$out/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$out/crashes/$target-" -print_final_stats=1 "$corpus" "$seeds/$target" >"$log" 2>&1; then
    result=FOUND
    status=1
    mkdir -p "tests/fuzz-regressions/$target"
    for artifact in "$out/crashes/$target-"*; do
      [ -e "$artifact" ] && cp -n "$artifact" "tests/fuzz-regressions/$target/$(basename "$artifact" | sed "s/^$target-//")"
    done
  fi
  elapsed=$(echo "$(date +%s.%N) - $start" | bc)
  executions=$(awk '/stat::number_of_executed_units:/ {print $2}' "$log")
  rss=$(awk '/stat::peak_rss_mb:/ {print $2}' "$log")
  line=$(printf '%s\t%.0f\t%s\t%s\t%s' "$target" "$elapsed" "${executions:-?}" "${rss:-?}" "$result")
  echo "$line"
  printf '%s\t%s\n' "$(date -u +%FT%TZ)" "$line" >>"$out/fuzz-log.tsv"
  [ "$result" = clean ] || echo "!! $target: see $log; the input is in tests/fuzz-regressions/$target/"
done
exit $status
