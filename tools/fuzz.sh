#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs each fuzz target of a VARNIX_FUZZ build for a while, two at a time,
# on a copy of its corpus, so that what the fuzzer adds stays out of the
# tree. Fails when any target crashes, leaks or breaks a sanitizer's rule;
# the input that did it is printed, to be kept in fuzz/corpus/TARGET as
# crash-NAME, where CTest replays it from then on.
#   tools/fuzz.sh BUILD_DIR [SECONDS_EACH]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/fuzz.sh BUILD_DIR [SECONDS_EACH]}
seconds=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run_one() { # target name
  local name=$1
  mkdir -p "$work/$name/corpus" "$work/$name/found"
  cp -r "fuzz/corpus/$name/." "$work/$name/corpus/"
  if "$build/fuzz/varnix_fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=512 \
       -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/$name/found/" \
       "$work/$name/corpus" >"$work/$name/log" 2>&1; then
    echo "fuzz $name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name/log" | grep -o '[0-9]*$') runs, no fault"
  else
    echo "fuzz $name: FAILED"
    tail -n 40 "$work/$name/log"
    for found in "$work/$name/found"/*; do
      [ -e "$found" ] || continue
      mkdir -p "fuzz-failures/$name"
      cp "$found" "fuzz-failures/$name/"
      echo "kept as fuzz-failures/$name/$(basename "$found"); add it to fuzz/corpus/$name/"
    done
    return 1
  fi
}

targets=()
for dir in fuzz/corpus/*/; do
  targets+=("$(basename "$dir")")
done
failed=0
# Two at a time: the test machines have two cores.
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for name in "${targets[@]:i:2}"; do
    run_one "$name" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
  done
done
exit $failed
