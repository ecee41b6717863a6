#!/usr/bin/env bash
# Installs the Debian packages Quorvel needs, by group, when any are missing:
#   scripts/deps.sh GROUP...      groups: run test windows web fuzz release, or all
# With no group it installs the run group. Idempotent and quick when everything is present: dpkg
# (or, for a few, the command itself) is asked first, and apt-get only runs for what is absent.
# scripts/run.sh installs the run group alone; the test command installs all of them; the
# Windows, web and fuzz scripts add their own group to the run group.
set -euo pipefail

# An entry is a package, or PACKAGE:COMMAND when a command of that name already on the PATH
# (from another vendor's package, say) does the package's work.

# Building and running the program and the world tools, and showing the demo without a display.
RUN=(
  # toolchain
  g++ cmake ninja-build pkg-config git
  # window, input and OpenGL (SDL2 over X11, Mesa's libGL and libEGL, llvmpipe)
  libsdl2-dev libgl-dev libopengl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  # world and font tools
  libstb-dev nlohmann-json3-dev libtinyobjloader-dev libfreetype-dev fonts-dejavu-core
  # mesh files (glTF, PLY, STL) and simplification for the world compiler
  libassimp-dev libmeshoptimizer-dev
  # without a display, run.sh shows the demo under Xvfb with real key presses (xdotool);
  # x11-utils has xdpyinfo, which tells whether a display is there
  xvfb xauth xdotool x11-utils
  # core X fonts: SDL's X11 message box needs a normal-width 12-point font, which Xvfb lacks without them
  xfonts-base
)
# The test and benchmark frameworks; the end-to-end tests use the run group's Xvfb and xdotool;
# xmllint checks that the timedemo's SVG chart parses.
TEST=(libgtest-dev libgmock-dev libbenchmark-dev libxml2-utils:xmllint)
# The Windows build (MinGW-w64, GoogleTest from source), its zip, and Wine to run its tests.
WINDOWS=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest zip unzip wine wine64)
# The web build (Emscripten), its zip, and the browser tests (node, npm, headless Chromium, and
# Firefox ESR, which runs headed on the tests' Xvfb since its headless mode has no WebGL).
WEB=(emscripten nodejs:node npm:npm chromium-headless-shell firefox-esr zip)
# Fuzzing and leak checks (clang's libFuzzer and sanitizers; llvm-symbolizer for readable reports
# and fuzz coverage; valgrind), what fuzz/build_assimp.sh needs to unpack and build Debian's assimp
# source (dpkg-dev, and the utfcpp header), and profiles for the benchmark table (linux-perf).
FUZZ=(clang libclang-rt-14-dev llvm valgrind dpkg-dev libutfcpp-dev linux-perf)
# The release (scripts/release.sh): the Debian package's dependencies (dpkg-shlibdeps), its man
# pages (help2man), its checks (lintian, desktop-file-validate) and the zips.
RELEASE=(dpkg-dev help2man lintian desktop-file-utils zip)

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(run)
wanted=()
for g in "${groups[@]}"; do
  case "$g" in
    run) wanted+=("${RUN[@]}") ;;
    test) wanted+=("${TEST[@]}") ;;
    windows) wanted+=("${WINDOWS[@]}") ;;
    web) wanted+=("${WEB[@]}") ;;
    fuzz) wanted+=("${FUZZ[@]}") ;;
    release) wanted+=("${RELEASE[@]}") ;;
    all) wanted+=("${RUN[@]}" "${TEST[@]}" "${WINDOWS[@]}" "${WEB[@]}" "${FUZZ[@]}" "${RELEASE[@]}") ;;
    *) echo "deps.sh: unknown group '$g' (groups: run test windows web fuzz release all)" >&2; exit 2 ;;
  esac
done

missing=()
for entry in "${wanted[@]}"; do
  p=${entry%%:*}
  command=""
  [ "$p" != "$entry" ] && command=${entry#*:}
  if [ -n "$command" ] && command -v "$command" >/dev/null 2>&1; then continue; fi
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    case " ${missing[*]-} " in *" $p "*) ;; *) missing+=("$p") ;; esac
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages (${groups[*]}): ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
