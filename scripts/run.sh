#!/usr/bin/env bash
# Installs what is missing, builds, and shows the sample world the build makes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
exec build/tools/world/quorvel-world info build/run/sample.kbw
