#!/usr/bin/env bash
# Builds and runs the whole test suite twice: once in the default preset
# (RelWithDebInfo, g++) and once under AddressSanitizer + UBSan (clang);
# then builds the fuzz harnesses (clang, libFuzzer, ASan + UBSan), replays
# their seed corpora and fuzzes each harness briefly (NUVRIX_FUZZ_SECONDS,
# default 25; scripts/fuzz.sh runs longer).
# Usage: scripts/test.sh [preset...]   (default: default asan fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
  presets=(default asan fuzz)
fi

for preset in "${presets[@]}"; do
  echo "=== ${preset}: configure"
  cmake --preset "${preset}" -DNUVRIX_WARNINGS_AS_ERRORS=ON >/dev/null
  echo "=== ${preset}: build"
  cmake --build --preset "${preset}"
  echo "=== ${preset}: test"
  ctest --preset "${preset}"
  if [ "${preset}" = fuzz ]; then
    scripts/fuzz.sh "${NUVRIX_FUZZ_SECONDS:-25}"
  fi
done
