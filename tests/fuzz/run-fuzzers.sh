#!/usr/bin/env bash
# Runs every fuzz target of a KVT_FUZZ build at once, each for SECONDS seconds,
# seeded from the test fixtures and the support files. Fails when any target
# finds a crash, a sanitizer report, a hang or too much memory.
# Usage: run-fuzzers.sh <fuzz build folder> [seconds]
set -uo pipefail
build="$1"
seconds="${2:-30}"
source="$(cd "$(dirname "$0")/../.." && pwd)"

seeds_for() {
  case "$1" in
    fuzz_job_ticket) echo "$source/tests/data/tickets" ;;
    fuzz_option_definitions) echo "$source/tests/data/pjl $source/support" ;;
    fuzz_paper_sizes | fuzz_xml_tag) echo "$source/tests/data/sizes $source/support" ;;
    fuzz_status_reply) echo "$source/tests/data/status" ;;
    fuzz_document_streamer) echo "$source/tests/data/streams" ;;
    fuzz_registry_store) echo "$source/tests/fuzz/seeds/registry" ;;
    fuzz_rcf) echo "$source/tests/fuzz/seeds/rcf" ;;
    *) echo "$source/tests/data" ;;
  esac
}

pids=()
names=()
for target in "$build"/fuzz/fuzz_*; do
  name="$(basename "$target")"
  corpus="$build/corpus/$name"
  artifacts="$build/artifacts/$name/"
  mkdir -p "$corpus" "$artifacts"
  # shellcheck disable=SC2046
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -detect_leaks=0 \
    -artifact_prefix="$artifacts" -print_final_stats=1 "$corpus" $(seeds_for "$name") \
    > "$build/$name.log" 2>&1 &
  pids+=($!)
  names+=("$name")
done

failed=0
for i in "${!pids[@]}"; do
  if wait "${pids[$i]}"; then
    echo "${names[$i]}: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$build/${names[$i]}.log" || true)"
  else
    echo "${names[$i]} FAILED:"
    tail -n 60 "$build/${names[$i]}.log"
    failed=1
  fi
done
exit $failed
