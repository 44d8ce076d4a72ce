#!/usr/bin/env bash
# Builds what the reference host program needs (the default preset's
# nuvrix-config and the plug-in) and runs its guided tour in a fresh
# temporary configuration directory. Extra arguments replace "demo":
#   scripts/run.sh get Meetings_Enabled
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target nuvrix-config
if [ $# -eq 0 ]; then
  set -- demo
fi
exec build/default/tools/nuvrix-config/nuvrix-config "$@"
