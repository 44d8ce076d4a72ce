#!/usr/bin/env bash
# Builds the fuzz preset (clang: libFuzzer, AddressSanitizer, UBSan) and
# fuzzes each harness of fuzz/ for the given number of seconds, two at a time
# (one per core of the machine, NUVRIX_FUZZ_JOBS to change it). A harness
# starts from its seed corpus (fuzz/corpus/<harness>, only read) and from
# build/fuzz/corpus/<harness>, where the inputs it finds are kept for the
# next run. A crash, leak, UBSan report, hang (NUVRIX_FUZZ_TIMEOUT seconds
# for one input, default 10) or broken property fails the script and leaves
# the input in build/fuzz/artifacts/<harness>/; replay it with
#   build/fuzz/fuzz/<harness>_replay <input>
# and add it to the harness's seed corpus once the fault is fixed.
# Usage: scripts/fuzz.sh [seconds] [harness...]   (default: 300 seconds, every harness)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-300}"
shift || true
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do
    harnesses+=("$(basename "${dir}")")
  done
fi
jobs="${NUVRIX_FUZZ_JOBS:-2}"
timeout="${NUVRIX_FUZZ_TIMEOUT:-10}"

scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=build/fuzz
mkdir -p "${build}/logs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# Runs one harness; its output goes to build/fuzz/logs/<harness>.log.
fuzz_one() {
  local name="$1"
  mkdir -p "${build}/corpus/${name}" "${build}/artifacts/${name}"
  "${build}/fuzz/${name}" -max_total_time="${seconds}" -timeout="${timeout}" -print_final_stats=1 \
    -artifact_prefix="${build}/artifacts/${name}/" \
    "${build}/corpus/${name}" "fuzz/corpus/${name}" >"${build}/logs/${name}.log" 2>&1
}

stat_of() {
  sed -n "s/^stat::$2: *//p" "${build}/logs/$1.log" | tail -1
}

echo "=== fuzz: ${#harnesses[@]} harnesses, ${seconds} s each, ${jobs} at a time"
declare -A pids
failed=()
running=0
for name in "${harnesses[@]}"; do
  if [ ! -x "${build}/fuzz/${name}" ]; then
    echo "fuzz: no harness ${name}" >&2
    exit 2
  fi
  if [ "${running}" -ge "${jobs}" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_one "${name}" &
  pids[${name}]=$!
  running=$((running + 1))
done

printf '%-32s %12s %10s %8s  %s\n' HARNESS EXECUTIONS EXEC/S CORPUS RESULT
for name in "${harnesses[@]}"; do
  result=ok
  if ! wait "${pids[${name}]}"; then
    result="FAILED: see ${build}/logs/${name}.log and ${build}/artifacts/${name}/"
    failed+=("${name}")
  fi
  printf '%-32s %12s %10s %8s  %s\n' "${name}" "$(stat_of "${name}" number_of_executed_units)" \
    "$(stat_of "${name}" average_exec_per_sec)" "$(ls "${build}/corpus/${name}" | wc -l)" "${result}"
done

if [ ${#failed[@]} -ne 0 ]; then
  for name in "${failed[@]}"; do
    echo "=== ${name}: end of its log"
    tail -40 "${build}/logs/${name}.log"
  done
  exit 1
fi
