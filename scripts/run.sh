#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo from the run folder (build/run), where the
# program finds demo.kbw and demo.ktl and writes FPSlog.txt.
# Without a display it says so and still shows the demo's work: it runs the program under a
# private Xvfb, flies the camera with real key presses (xdotool), saves PNG screenshots, ends with
# Escape, and prints where the screenshots are and the frame-rate log.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

run_dir="$PWD/build/run"
program="$PWD/build/app/quorvel"
cd "$run_dir"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$program"
fi

echo "No display found: running the demo under Xvfb for a few seconds instead."
. "$OLDPWD/scripts/xvfb.sh"
qv_start_xvfb
shot="$OLDPWD/build/tools/xshot/quorvel-xshot"
title="Quorvel -- By: Tavrin, Easter 2002"
shots="$run_dir/screenshots"
rm -rf "$shots"
mkdir -p "$shots"

start=$(date +%s%N)
"$program" 2>"$run_dir/stderr.txt" &
pid=$!
stop() { kill "$pid" 2>/dev/null || true; }
trap 'stop; kill "${QV_XVFB_PID:-0}" 2>/dev/null || true' EXIT

window=""
for _ in $(seq 1 200); do
  window=$(timeout 2 xdotool search --name "^${title}\$" 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$window" ]; then
  echo "The demo did not open its window:" >&2
  cat "$run_dir/stderr.txt" >&2
  exit 1
fi
echo "Window open after $(( ($(date +%s%N) - start) / 1000000 )) ms."
timeout 5 xdotool windowfocus --sync "$window"

# Keys are held for a while, as a person would: the program reads the key state once per frame.
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
snap() { "$shot" --window "$title" "$shots/$1.png" && echo "  $shots/$1.png  ($2)"; }

echo "Flying the camera; screenshots:"
sleep 1
snap 1-start "the start: the spinning ring and its shadow"
hold q 0.8
snap 2-raised "Q raised the ring"
hold w 1.5
hold b 0.2
snap 3-forward "W flew forward, B stopped"
hold Left 2.5
snap 4-turned "the left arrow turned the view to the right, towards the east door"
hold w 2.6
hold b 0.2
snap 5-east "W again: through the door into the east corridor"
hold Escape 0.3

for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$pid" || status=$?
trap 'kill "${QV_XVFB_PID:-0}" 2>/dev/null || true' EXIT
echo "The demo ended with exit status $status after Escape."
echo "Frame-rate log ($run_dir/FPSlog.txt):"
cat "$run_dir/FPSlog.txt"
exit "$status"
