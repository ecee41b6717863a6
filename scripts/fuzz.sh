#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz) and runs each for a bounded time or number
# of runs, seeded from fuzz/corpus/ and from the shipped data (worlds, texture list and images,
# font, scenes). Reports executions and coverage per target; exits 1 when any target finds a crash,
# leak, out-of-memory or timeout (the input is kept under build-fuzz/artifacts/<target>/).
#
#   scripts/fuzz.sh [-t SECONDS | -r RUNS] [world] [textures] [kbf] [mesh] [scene]
#
# -t: seconds per target (default 60); -r: a fixed number of runs per target instead.
# QV_SEED_RUN: a run folder to take the shipped data from (default build/run).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
runs=""
while getopts "t:r:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    r) runs=$OPTARG ;;
    *) echo "usage: $0 [-t SECONDS | -r RUNS] [world] [textures] [kbf] [mesh] [scene]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(world textures kbf mesh scene)

scripts/deps.sh run test fuzz
dir=${QV_FUZZ_DIR:-build-fuzz}
jobs=${QV_JOBS:-2}
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DQV_FUZZ=ON -DQV_BENCH=OFF >/dev/null
cmake --build "$dir" --target fuzz_targets -j "$jobs" >/dev/null

# Shipped data: QV_SEED_RUN, else the normal build's run folder when it has been built, else
# this build's own.
run=${QV_SEED_RUN:-build/run}
if [ -z "${QV_SEED_RUN:-}" ] && { [ ! -f "$run/sample.kbw" ] || [ ! -f "$run/font.kbf" ]; }; then
  cmake --build "$dir" --target sample_world quorvel_font_data -j "$jobs" >/dev/null
  run=$dir/run
fi
seeds=$dir/seeds
rm -rf "$seeds"
mkdir -p "$seeds/world" "$seeds/textures" "$seeds/kbf" "$seeds/mesh" "$seeds/scene"
# The shipped scenes (their OBJ files are not found where the fuzzer runs; their mesh models and
# everything else are still compiled).
for scene in data/demo/scene.json data/examples/*/scene.json; do
  cp "$scene" "$seeds/scene/$(basename "$(dirname "$scene")").json"
done
cp "$run"/*.kbw "$seeds/world/" 2>/dev/null || true
cp "$run"/*.kbf "$seeds/kbf/" 2>/dev/null || true
# The texture lists and every image they name (names are relative to the run folder).
for list in "$run"/*.ktl; do
  [ -f "$list" ] || continue
  cp "$list" "$seeds/textures/"
  tail -c +11 "$list" | tr '\0' '\n' | while IFS= read -r name; do
    [ -n "$name" ] && [ -f "$run/$name" ] && cp "$run/$name" "$seeds/textures/$(basename "$name")"
  done
done

# Largest input each target generates: worlds parse in linear time, images also go through the
# whole mipmap chain, fonts are a few kilobytes, mesh seeds are small boxes, scenes are text.
# Longer seeds are cut to this length.
declare -A max_len=([world]=65536 [textures]=4096 [kbf]=8192 [mesh]=16384 [scene]=16384)

failed=0
for t in "${targets[@]}"; do
  bin=$dir/fuzz/fuzz_$t
  corpus=$dir/corpus/$t
  artifacts=$dir/artifacts/$t
  mkdir -p "$corpus" "$artifacts"
  limit=(-max_total_time="$seconds")
  [ -n "$runs" ] && limit=(-runs="$runs")
  log=$dir/fuzz_$t.log
  set +e
  LSAN_OPTIONS=suppressions=$PWD/fuzz/assimp.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS} \
  "$bin" "$corpus" "fuzz/corpus/$t" "$seeds/$t" "${limit[@]}" -max_len="${max_len[$t]}" \
    -rss_limit_mb=2048 -malloc_limit_mb=256 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" >"$log" 2>&1
  rc=$?
  set -e
  done_line=$(grep -E '^Done [0-9]+ runs' "$log" | tail -1 || true)
  stats=$(grep -E '#[0-9]+\s+DONE' "$log" | tail -1 | sed -E 's/.*(cov: [0-9]+ ft: [0-9]+ corp: [^ ]+).*/\1/' || true)
  if [ $rc -ne 0 ] || [ -z "$done_line" ]; then
    echo "fuzz_$t: FAILED (exit $rc); see $log and $artifacts/"
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5 || true
    failed=1
    continue
  fi
  # Edge coverage of the reader sources by the whole corpus, over the functions it reaches.
  cover=$("$bin" -runs=0 -print_coverage=1 -max_len="${max_len[$t]}" "$corpus" "fuzz/corpus/$t" \
            "$seeds/$t" 2>&1 | awk '
    /^COVERED_FUNC:/ && /\/(world|text|scene)\/[a-z_]+\.(cpp|h):/ {
      split($5, e, "/"); covered += e[1]; total += e[2]; funcs++ }
    END { if (total) printf "%d/%d edges (%.0f%%) in %d reader functions reached", covered, total, 100 * covered / total, funcs }')
  echo "fuzz_$t: ${done_line#Done }, no crash; $stats; corpus coverage: $cover"
done
exit $failed
