#!/usr/bin/env bash
# Builds the default preset and runs every benchmark program.
# Usage: scripts/bench.sh [benchmark-filter-regex]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
for b in build/default/bench/bench_*; do
  echo "=== $(basename "$b")"
  "$b" ${1:+--benchmark_filter="$1"}
done
