#!/usr/bin/env bash
# Builds and runs the whole test suite twice: once in the default preset
# (RelWithDebInfo, g++) and once under AddressSanitizer + UBSan (clang).
# Usage: scripts/test.sh [preset...]   (default: default asan)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
  presets=(default asan)
fi

for preset in "${presets[@]}"; do
  echo "=== ${preset}: configure"
  cmake --preset "${preset}" -DNUVRIX_WARNINGS_AS_ERRORS=ON >/dev/null
  echo "=== ${preset}: build"
  cmake --build --preset "${preset}"
  echo "=== ${preset}: test"
  ctest --preset "${preset}"
done
