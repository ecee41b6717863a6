#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in the normal build and once with
# AddressSanitizer and UndefinedBehaviorSanitizer. Tests that need an X server get Xvfb. The
# Windows build (scripts/windows.sh) is tested under Wine: its Linux-free suites in build-win, and
# quorvel.exe end to end from the Linux build's tests (tests/wine), with the Wine prefix in
# build-win/wineprefix. The web build (scripts/web.sh, build-web) is tested in Debian's headless
# Chromium and in Firefox ESR (headed, on the Xvfb) by the Linux build's tests labelled web
# (tests/web), one at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all
. scripts/xvfb.sh
qv_start_xvfb
. scripts/wine-env.sh
# Whatever happens, no Wine process outlives the tests, and the private X server goes too.
trap 'qv_wine_stop; kill "${QV_XVFB_PID:-}" 2>/dev/null || true' EXIT

jobs=$(nproc)

echo "== build (RelWithDebInfo) =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

echo "== Windows build (MinGW-w64), its zip and its test suites =="
scripts/windows.sh
cmake --build build-win
qv_wine_prefix "$PWD/build-win/wineprefix"

echo "== web build (Emscripten), its zip and the browser tests' tools =="
scripts/web.sh

echo "== the release files (dist/): the Debian package and the versioned zips =="
scripts/release.sh --reuse

echo "== tests (the Wine end-to-end tests included) =="
QV_REQUIRE_WINE=1 QV_REQUIRE_DEB=1 ctest --test-dir build --output-on-failure -j "$jobs" -LE web
echo "== the page in headless Chromium and in Firefox =="
web_start=$SECONDS
QV_REQUIRE_WEB=1 ctest --test-dir build --output-on-failure -L web
echo "(browser tests: $((SECONDS - web_start)) s)"
echo "== Windows suites under Wine =="
wine_start=$SECONDS
ctest --test-dir build-win --output-on-failure -j "$jobs"
echo "(Windows suites under Wine: $((SECONDS - wine_start)) s)"

echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer) =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_BENCH=OFF >/dev/null
cmake --build build-asan
echo "== tests under sanitizers =="
# (The Wine, browser and package tests ran above: under the sanitizers only their harness would differ.)
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE 'wine|web|deb'

# Hardening: every file reader under libFuzzer for a bounded time (about a minute in all, clang
# build in build-fuzz), then the demo under valgrind memcheck (skipped until it and its data exist).
echo "== fuzz targets =="
QV_JOBS=$jobs scripts/fuzz.sh -t 20
echo "== leak check of the demo under valgrind =="
leak=0
scripts/leakcheck.sh build || leak=$?
if [ "$leak" -eq 77 ]; then
  echo "(leak check skipped: build/app/quorvel or build/run/demo.kbw is not there)"
elif [ "$leak" -ne 0 ]; then
  exit "$leak"
fi

echo "== all tests passed =="
