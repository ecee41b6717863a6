#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz) and runs each for a bounded time or number
# of runs, seeded from fuzz/corpus/ and from the shipped data (worlds, texture list and images,
# font, scenes). Reports executions and coverage per target; exits 1 when any target finds a crash,
# leak, out-of-memory or timeout (the input is kept under build-fuzz/artifacts/<target>/).
#
#   scripts/fuzz.sh [-t SECONDS | -r RUNS] [world] [textures] [kbf] [mesh] [scene]
#
# -t: seconds per target (default 60); -r: a fixed number of runs per target instead.
# "mesh" runs one target per importer (mesh_gltf, mesh_ply, mesh_stl, mesh_obj) side by side,
# each for the whole time; naming one of them (mesh_ply) runs it alone. The mesh and scene
# targets link assimp's importers built from Debian's source with the same sanitizers
# (fuzz/build_assimp.sh, fetched and built once, kept under build-fuzz/assimp-VERSION/), so a
# fault inside the importer is caught where it happens.
# QV_SEED_RUN: a run folder to take the shipped data from (default build/run).
# QV_FUZZ_SYSTEM_ASSIMP=1: link the installed assimp instead (its faults then go unseen).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
runs=""
while getopts "t:r:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    r) runs=$OPTARG ;;
    *) echo "usage: $0 [-t SECONDS | -r RUNS] [world] [textures] [kbf] [mesh | mesh_FORMAT] [scene]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(world textures kbf mesh scene)

scripts/deps.sh run test fuzz
dir=${QV_FUZZ_DIR:-build-fuzz}
jobs=${QV_JOBS:-2}
assimp_prefix=""
if [ -z "${QV_FUZZ_SYSTEM_ASSIMP:-}" ]; then
  version=$(dpkg-query -W -f='${source:Version}' libassimp5)
  assimp=$dir/assimp-${version//[^A-Za-z0-9.+-]/_}
  QV_JOBS=$jobs fuzz/build_assimp.sh "$assimp"
  assimp_prefix=$(cd "$assimp/install" && pwd)
fi
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DQV_FUZZ=ON -DQV_BENCH=OFF \
  -DQV_FUZZ_ASSIMP_PREFIX="$assimp_prefix" >/dev/null
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
mkdir -p "$seeds/world" "$seeds/textures" "$seeds/kbf" "$seeds/scene"
# Each mesh target starts from the seeds of its own formats.
for f in gltf ply stl obj; do mkdir -p "$seeds/mesh_$f"; done
cp fuzz/corpus/mesh/*.gltf fuzz/corpus/mesh/*.glb "$seeds/mesh_gltf/"
cp fuzz/corpus/mesh/*.ply "$seeds/mesh_ply/"
cp fuzz/corpus/mesh/*.stl "$seeds/mesh_stl/"
cp fuzz/corpus/mesh/*.obj "$seeds/mesh_obj/"
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

# Runs one fuzz target (world, mesh_ply, ...) to its log; its exit status goes to the log's .rc.
run_unit() {
  local unit=$1 group=$2
  local bin=$dir/fuzz/fuzz_$unit corpus=$dir/corpus/$unit artifacts=$dir/artifacts/$unit
  local limit=(-max_total_time="$seconds") seeddirs=("$seeds/$unit")
  [ -n "$runs" ] && limit=(-runs="$runs")
  [ -d "fuzz/corpus/$unit" ] && seeddirs+=("fuzz/corpus/$unit")
  mkdir -p "$corpus" "$artifacts"
  local rc=0
  LSAN_OPTIONS=suppressions=$PWD/fuzz/assimp.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS} \
  "$bin" "$corpus" "${seeddirs[@]}" "${limit[@]}" -max_len="${max_len[$group]}" \
    -rss_limit_mb=2048 -malloc_limit_mb=256 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" >"$dir/fuzz_$unit.log" 2>&1 || rc=$?
  echo $rc >"$dir/fuzz_$unit.log.rc"
}

# Says how one target's run went; returns 1 when it found a fault.
report_unit() {
  local unit=$1 group=$2
  local bin=$dir/fuzz/fuzz_$unit log=$dir/fuzz_$unit.log corpus=$dir/corpus/$unit
  local rc done_line stats cover seeddirs=("$seeds/$unit")
  [ -d "fuzz/corpus/$unit" ] && seeddirs+=("fuzz/corpus/$unit")
  rc=$(cat "$log.rc")
  done_line=$(grep -E '^Done [0-9]+ runs' "$log" | tail -1 || true)
  stats=$(grep -E '#[0-9]+\s+DONE' "$log" | tail -1 | sed -E 's/.*(cov: [0-9]+ ft: [0-9]+ corp: [^ ]+).*/\1/' || true)
  if [ "$rc" -ne 0 ] || [ -z "$done_line" ]; then
    echo "fuzz_$unit: FAILED (exit $rc); see $log and $dir/artifacts/$unit/"
    grep -E 'ERROR|SUMMARY|Test unit written|stat::number_of_executed_units' "$log" | head -6 || true
    return 1
  fi
  # Edge coverage of the reader sources by the whole corpus, over the functions it reaches.
  # (Its own artifact folder and the run's suppressions: a replayed input must not leave files
  # in the working folder.)
  mkdir -p "$dir/artifacts/coverage"
  cover=$(LSAN_OPTIONS=suppressions=$PWD/fuzz/assimp.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS} \
          "$bin" -runs=0 -print_coverage=1 -max_len="${max_len[$group]}" -artifact_prefix="$dir/artifacts/coverage/" \
          "$corpus" "${seeddirs[@]}" 2>&1 | awk '
    /^COVERED_FUNC:/ && /\/(world|text|scene)\/[a-z_]+\.(cpp|h):/ {
      split($5, e, "/"); covered += e[1]; total += e[2]; funcs++ }
    END { if (total) printf "%d/%d edges (%.0f%%) in %d reader functions reached", covered, total, 100 * covered / total, funcs }')
  echo "fuzz_$unit: ${done_line#Done }, no crash; $stats; corpus coverage: $cover"
}

failed=0
for t in "${targets[@]}"; do
  units=("$t")
  group=$t
  [ "$t" = mesh ] && units=(mesh_gltf mesh_ply mesh_stl mesh_obj)
  [[ $t == mesh_* ]] && group=mesh  # one importer's target alone
  # The shipped data seeds the target of the same name.
  [ "$group" != mesh ] && [ ! -d "$seeds/$t" ] && mkdir -p "$seeds/$t"
  pids=()
  for u in "${units[@]}"; do
    run_unit "$u" "$group" &
    pids+=($!)
  done
  wait "${pids[@]}"
  for u in "${units[@]}"; do
    report_unit "$u" "$group" || failed=1
  done
done
exit $failed
