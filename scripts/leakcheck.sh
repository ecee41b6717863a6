#!/usr/bin/env bash
# Runs the demo under valgrind memcheck on Xvfb for a few hundred frames, flying it with xdotool
# (keys and mouse), ends it with Escape, and fails when valgrind reports any definitely or
# indirectly lost byte that scripts/valgrind.supp does not excuse (system libraries only). Then
# the same for 200 reloads of the demo world (tests/app/reload_memory_test.cpp on the scripted
# window with a headless context), when that test program is built.
#
#   scripts/leakcheck.sh [BUILD_DIR] [FRAMES]
#
# BUILD_DIR (default build) must hold app/quorvel and run/demo.kbw with demo.ktl; exits 77 (skip)
# when they are not there yet. FRAMES (default 300) is counted from the demo's FPSlog.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" 2>/dev/null && pwd) || { echo "leakcheck: no build folder ${1:-build}"; exit 77; }
frames=${2:-300}
demo=$build/app/quorvel
run=$build/run
for f in "$demo" "$run/demo.kbw" "$run/demo.ktl"; do
  [ -e "$f" ] || { echo "leakcheck: $f is missing; skipped"; exit 77; }
done
. "$root/scripts/xvfb.sh"
qv_start_xvfb

# The demo writes FPSlog.txt into the working folder; run it in a copy of the run folder.
work=$(mktemp -d)
cleanup() {
  if [ -n "${vg_pid:-}" ]; then kill "$vg_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap 'cleanup; kill "${QV_XVFB_PID:-}" 2>/dev/null || true' EXIT
cp -r "$run"/. "$work"/
log=$build/leakcheck.log
cd "$work"
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --suppressions="$root/scripts/valgrind.supp" \
  --gen-suppressions=all --num-callers=30 --keep-debuginfo=yes --log-file="$log" "$demo" &
vg_pid=$!

frames_seen() { awk '{ n += $2 } END { print n + 0 }' FPSlog.txt 2>/dev/null || echo 0; }
# Wait for the window, then fly: turn with the mouse, thrust with the keys, raise the spinner.
win=""
for _ in $(seq 1 600); do
  win=$(xdotool search --name "Quorvel" 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  kill -0 "$vg_pid" 2>/dev/null || break
  sleep 0.5
done
if [ -z "$win" ]; then
  echo "leakcheck: the demo window never appeared; see $log"
  wait "$vg_pid" || true
  exit 1
fi
# Input goes through XTEST to the focused window (SDL ignores events sent to a window with
# XSendEvent). Keys are sampled once a frame, so each is held for a second: under valgrind the
# demo draws only a few frames a second.
xdotool windowfocus --sync "$win" 2>/dev/null || true
keys=(w a s d space c q z Left Right Up Down)
i=0
for _ in $(seq 1 1200); do
  [ "$(frames_seen)" -ge "$frames" ] && break
  kill -0 "$vg_pid" 2>/dev/null || break
  k=${keys[$((i % ${#keys[@]}))]}
  xdotool keydown "$k" mousemove_relative -- $((i % 7 - 3)) $((i % 5 - 2)) 2>/dev/null || true
  sleep 1
  xdotool keyup "$k" 2>/dev/null || true
  i=$((i + 1))
done
echo "leakcheck: $(frames_seen) frames logged; holding Escape"
xdotool keydown Escape 2>/dev/null || true
for _ in $(seq 1 30); do
  kill -0 "$vg_pid" 2>/dev/null || break
  sleep 1
done
xdotool keyup Escape 2>/dev/null || true
status=0
wait "$vg_pid" || status=$?
[ "$status" -eq 0 ] || { echo "leakcheck: the demo exited with $status; see $log"; exit 1; }

# Valgrind checks every process it runs, each with its own summary; all must be clean. No leak
# summary at all means nothing leaked ("All heap blocks were freed").
clean() {
  local log=$1
  grep -E "definitely lost:|indirectly lost:|ERROR SUMMARY" "$log" | sed 's/^==[0-9]*== */  /'
  sum() { grep -oE "$1 [0-9,]+" "$log" | tr -d , | awk '{ n += $NF } END { print n + 0 }'; }
  local definite indirect errors summaries
  definite=$(sum "definitely lost:")
  indirect=$(sum "indirectly lost:")
  errors=$(sum "ERROR SUMMARY:")
  summaries=$(grep -c "ERROR SUMMARY:" "$log" || true)
  [ "$summaries" -ne 0 ] && [ "$definite" -eq 0 ] && [ "$indirect" -eq 0 ] && [ "$errors" -eq 0 ]
}
if ! clean "$log"; then
  echo "leakcheck: FAILED; records and suggested suppressions in $log"
  exit 1
fi
echo "leakcheck: no definitely or indirectly lost bytes, no memcheck errors"

reloads=$build/tests/app/app_reload_memory_test
if [ ! -x "$reloads" ]; then
  echo "leakcheck: $reloads is not built; the reloads were not checked"
  exit 0
fi
echo "leakcheck: 200 reloads of the demo world under valgrind"
rlog=$build/leakcheck-reloads.log
status=0
(cd "$work" && valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --suppressions="$root/scripts/valgrind.supp" \
  --gen-suppressions=all --num-callers=30 --keep-debuginfo=yes --log-file="$rlog" "$reloads" \
  --gtest_brief=1 >/dev/null 2>&1) || status=$?
[ "$status" -eq 0 ] || { echo "leakcheck: the reload test exited with $status; see $rlog"; exit 1; }
if ! clean "$rlog"; then
  echo "leakcheck: FAILED on reloads; records and suggested suppressions in $rlog"
  exit 1
fi
echo "leakcheck: 200 reloads lost nothing, no memcheck errors"
