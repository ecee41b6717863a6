#!/usr/bin/env bash
# Runs a Windows program under Wine with its prefix in the given folder:
#   scripts/wine-run.sh PREFIX program.exe [arguments...]
# The Windows build uses it to run its tests (CMAKE_CROSSCOMPILING_EMULATOR).
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
qv_wine_prefix "$1"
shift
exec wine "$@"
