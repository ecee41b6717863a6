#!/usr/bin/env bash
# Builds and runs every benchmark, then prints one table of the figures: world load speed, frame
# cost against world size, silhouette cost per triangle, what --watch adds to a frame, and the demo
# world's timedemo with the share of frame time spent in Quorvel's own code (from a perf profile,
# when perf works here), the GL 1.1 layer's counts over the flight and its speed against desktop
# OpenGL, and the same timedemo in headless Chromium and in Firefox beside it when the web build
# is there.
# Timing ratios are taken as alternating pairs (QV_BENCH_PAIRS, default 5) and quoted as the
# median pair ratio, with the load average: a figure taken while other work loads the machine is
# not a result. QV_BENCH_FRAMES limits the layer's runs to the flight's first N frames.
# Benchmarks measure; nothing here fails because a machine is slow.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run test fuzz
build=${QV_BENCH_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BENCH=ON >/dev/null
cmake --build "$build" --target bench_world_load bench_world_size bench_silhouettes bench_watch quorvel-capture \
  quorvel-capture-es demo_world >/dev/null
export GALLIUM_DRIVER=llvmpipe
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

step() { echo "== $1" >&2; }
step "world load";        "$build/bench/bench_world_load" --benchmark_color=false >"$out/load.txt"
step "world size";        "$build/bench/bench_world_size" --benchmark_color=false >"$out/size.txt"
step "silhouettes";       "$build/bench/bench_silhouettes" --benchmark_color=false >"$out/sil.txt"
step "--watch";           "$build/bench/bench_watch" --benchmark_color=false >"$out/watch.txt"

# The timedemo: the demo world, compiled into the run folder, and its committed flight.
# Its frame-time chart is kept beside the table, in the build folder.
world="$build/run"; flight=data/flight.txt; chart="$build/bench/timedemo.svg"
mkdir -p "$build/bench"
capture=("$build/tools/capture/quorvel-capture" --dir "$world" --script "$PWD/$flight" --timedemo --plot "$chart")
step "timedemo (demo world, $flight)"; "${capture[@]}" >"$out/td.txt"
ours="n/a (perf not available)"
if command -v perf >/dev/null 2>&1 &&
   perf record -q -e cpu-clock -F 1000 -o "$out/perf.data" -- "${capture[@]}" >"$out/td-perf.txt" 2>/dev/null; then
  step "profile"
  perf report -i "$out/perf.data" --sort dso -n --stdio -q 2>/dev/null >"$out/dso.txt" || true
  total_s=$(sed -n 's/^total: \([0-9.]*\) s$/\1/p' "$out/td-perf.txt")
  ours=$(awk -v total="$total_s" '
    { samples += $2; if ($3 == "quorvel-capture") own += $2 }
    END { if (samples == 0 || total == 0) print "n/a";
          else printf "%.2f%% of frame time (%.0f of %.0f CPU ms sampled in our code; %.2f%% of all CPU samples)",
                      100 * own / 1000 / total, own, samples, 100 * own / samples }' "$out/dso.txt")
fi

# The GL 1.1 layer over the whole flight: what it sends to ES a frame (deterministic counts), and
# its speed against desktop OpenGL on the same llvmpipe, in alternating pairs.
pairs=${QV_BENCH_PAIRS:-5}
frames_opt=(); [ -n "${QV_BENCH_FRAMES:-}" ] && frames_opt=(--frames "$QV_BENCH_FRAMES")
capture_es=("$build/tools/capture/quorvel-capture-es" --dir "$world" --script "$PWD/$flight" "${frames_opt[@]}" --timedemo)
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }
fps_of() { sed -n 's/^mean FPS: \(.*\)$/\1/p' "$1"; }
step "GL layer counts ($flight)"; "${capture_es[@]}" >"$out/es.txt" 2>"$out/es-counts.txt"
layer=$(sed -n 's/^glcompat a frame: \(.*\) (\([0-9]*\) frames)$/\1 over \2 frames/p' "$out/es-counts.txt")
ends=$(sed -n 's/^glcompat batch ends a frame: \(.*\)$/\1/p' "$out/es-counts.txt")
busiest=$(sed -n 's/^glcompat busiest frame: \(.*\)$/\1/p' "$out/es-counts.txt")
es_calls=$(sed -n 's/^glcompat a frame: .*draws, \([0-9.]*\) ES calls.*/\1/p' "$out/es-counts.txt")
es_mb=$(sed -n 's/^glcompat a frame: .*uploads, \([0-9]*\) bytes uploaded.*/\1/p' "$out/es-counts.txt" |
  awk '{ printf "%.3f", $1 / 1e6 }')
ratios=()
for i in $(seq 1 "$pairs"); do
  order=(desktop es); [ $((i % 2)) -eq 0 ] && order=(es desktop)
  for side in "${order[@]}"; do
    step "layer pair $i: $side (load average $(loadavg))"
    if [ "$side" = es ]; then "${capture_es[@]}" >"$out/pair-es.txt" 2>/dev/null
    else "${capture[@]}" "${frames_opt[@]}" >"$out/pair-desktop.txt"; fi
  done
  ratios+=("$(awk -v a="$(fps_of "$out/pair-es.txt")" -v b="$(fps_of "$out/pair-desktop.txt")" \
    'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
es_ratio="median $(median "${ratios[@]}") of $pairs alternating pairs (${ratios[*]}); load average after: $(loadavg)"

# The same flight as the page's timedemo in headless Chromium, when the web build is there
# (scripts/web.sh), beside quorvel-capture's, in alternating pairs.
web="n/a (no web build: run scripts/web.sh)"
web_firefox="n/a (no web build, or no firefox-esr: scripts/deps.sh web)"
if [ -f build-web/quorvel.wasm ] && [ -d tests/web/node_modules/puppeteer-core ]; then
  step "browser timedemo pairs (build-web, $flight)"
  node bench/browser_pairs.mjs build-web "$build/tools/capture/quorvel-capture" "$world" "$PWD/$flight" "$pairs" \
    >"$out/web.txt"
  web="$(sed -n 's/^browser \/ capture median pair ratio: \(.*\)$/\1/p' "$out/web.txt"); target >= 0.45"
  # Firefox gives WebGL only with a display: it runs headed on a private Xvfb.
  if [ -x /usr/bin/firefox-esr ]; then
    step "browser timedemo pairs in Firefox (build-web, $flight)"
    (. scripts/xvfb.sh && qv_start_xvfb &&
      QV_BROWSER=firefox node bench/browser_pairs.mjs build-web "$build/tools/capture/quorvel-capture" "$world" \
        "$PWD/$flight" "$pairs") >"$out/web-firefox.txt"
    web_firefox="$(sed -n 's/^browser \/ capture median pair ratio: \(.*\)$/\1/p' "$out/web-firefox.txt")"
  fi
fi

val() { sed -n "$2" "$1" | head -1; }
load=$(val "$out/load.txt" 's/^world load: \([0-9]*\) MB\/s.*bulk read: \([0-9]*\) MB\/s; load \/ bulk read: \([0-9.]*\).*/\1 MB\/s (bulk read \2 MB\/s, ratio \3)/p')
size_mb=$(val "$out/load.txt" 's/^world file: \(.*\)$/\1/p')
ratio=$(val "$out/size.txt" 's/^frame time ratio 10000 rooms \/ 10 rooms: \([0-9.]*\).*/\1/p')
frames=$(awk '/^BM_FrameByWorldSize\/.*_median/{split($1,a,"/"); printf "%s%s rooms %s %s", sep, a[2], $2, $3; sep="; "}' "$out/size.txt")
sil=$(awk '/^findSilhouettes/{printf "%s%s: %s ns", sep, $2, $4; sep="; "}' "$out/sil.txt")
# The whole demo frame without and with the watch (fastest repetition), and the watch's own step
# (median).
stat() { awk -v name="$2" -v tail="_$3\$" '$1 ~ name && $1 ~ tail { print $2, $3; exit }' "$1"; }
watch_off=$(stat "$out/watch.txt" '^BM_DemoFrame/watch:0/' min)
watch_on=$(stat "$out/watch.txt" '^BM_DemoFrame/watch:1/' min)
step_off=$(stat "$out/watch.txt" '^BM_WatchStep/watch:0/' median)
step_on=$(stat "$out/watch.txt" '^BM_WatchStep/watch:1/' median)
fps=$(val "$out/td.txt" 's/^mean FPS: \(.*\)$/\1/p')
td=$(val "$out/td.txt" 's/^frame time: \(.*\)$/\1/p')
renderer=$(val "$out/td.txt" 's/^renderer: \(.*\)$/\1/p')

printf '\n%-34s | %s\n' "Benchmark" "Result"
printf '%-34s-+-%s\n' "----------------------------------" "------------------------------------------------"
printf '%-34s | %s\n' "World load ($size_mb)" "$load; target >= 200 MB/s"
printf '%-34s | %s\n' "Frame time by world size" "$frames"
printf '%-34s | %s\n' "  10,000 rooms / 10 rooms" "$ratio; target <= 1.05"
printf '%-34s | %s\n' "findSilhouettes per triangle" "$sil"
printf '%-34s | %s\n' "Demo frame without / with --watch" "$watch_off / $watch_on (scripted window, fastest of 7)"
printf '%-34s | %s\n' "  the watch's own step a frame" "$step_on with --watch, $step_off without"
printf '%-34s | %s\n' "Timedemo: demo world, flight.txt" "$fps FPS; $td"
printf '%-34s | %s\n' "  renderer" "$renderer"
printf '%-34s | %s\n' "  frame-time chart" "$chart"
printf '%-34s | %s\n' "  our code share" "$ours; target <= 10%"
printf '%-34s | %s\n' "GL layer a frame (whole flight)" "$layer"
printf '%-34s | %s\n' "  ES calls a frame" "$es_calls; target <= 500"
printf '%-34s | %s\n' "  bytes uploaded a frame" "$es_mb MB; target <= 0.8 MB"
printf '%-34s | %s\n' "  what ended the batches a frame" "$ends"
printf '%-34s | %s\n' "  busiest frame" "$busiest"
printf '%-34s | %s\n' "capture-es / capture mean FPS" "$es_ratio; target >= 0.97"
printf '%-34s | %s\n' "Browser / capture mean FPS" "Chromium (SwiftShader): $web"
printf '%-34s | %s\n' "" "Firefox ESR (llvmpipe, headed on Xvfb): $web_firefox"
