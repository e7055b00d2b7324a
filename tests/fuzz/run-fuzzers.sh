#!/usr/bin/env bash
# Runs every fuzz target of a KVT_FUZZ build at once, seeded from the test
# fixtures and the support files. Fails when any target finds a crash, a
# sanitizer report, a hang or too much memory.
#
# Usage: run-fuzzers.sh <fuzz build folder> check
#          the same fixed random seed and number of inputs on every run, from an
#          empty corpus: a commit passes or fails alike on every machine (CI)
#        run-fuzzers.sh <fuzz build folder> <seconds>
#          explores with a fresh random seed for that long, keeping its corpus
set -uo pipefail
build="$1"
mode="${2:-check}"
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
    fuzz_version_resource) echo "$source/tests/fuzz/seeds/version" ;;
    fuzz_setup_configuration) echo "$source/tests/fuzz/seeds/setup-configuration" ;;
    fuzz_setup_payload) echo "$source/tests/fuzz/seeds/setup-payload" ;;
    *) echo "$source/tests/data" ;;
  esac
}

# Inputs per target in check mode: about a minute of work each, as the
# targets differ a hundredfold in speed.
runs_for() {
  case "$1" in
    fuzz_document_streamer) echo 150 ;;
    fuzz_option_definitions) echo 800 ;;
    fuzz_xml_tag) echo 1000 ;;
    fuzz_job_ticket | fuzz_paper_sizes) echo 1500 ;;
    fuzz_registry_store) echo 2000 ;;
    fuzz_setup_configuration) echo 10000 ;;
    fuzz_setup_payload) echo 20000 ;;
    *) echo 50000 ;;
  esac
}

limits_for() {
  if [ "$mode" = check ]; then
    # No reloading of the corpus folder on a timer: that alone made runs differ.
    echo "-seed=1 -runs=$(runs_for "$1") -reload=0 -max_total_time=300"
  else
    echo "-max_total_time=$mode"
  fi
}

# Check mode also runs without address randomisation where the machine allows
# it: compared pointers steer the mutations.
steady=()
if [ "$mode" = check ] && setarch "$(uname -m)" -R true 2>/dev/null; then
  steady=(setarch "$(uname -m)" -R)
fi

pids=()
names=()
for target in "$build"/fuzz/fuzz_*; do
  name="$(basename "$target")"
  corpus="$build/corpus/$name"
  artifacts="$build/artifacts/$name/"
  # Qt's hashing is seeded per process unless fixed.
  [ "$mode" = check ] && rm -rf "$corpus" && export QT_HASH_SEED=0
  mkdir -p "$corpus" "$artifacts"
  # shellcheck disable=SC2046
  "${steady[@]}" "$target" $(limits_for "$name") -timeout=10 -rss_limit_mb=2048 -detect_leaks=0 \
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
