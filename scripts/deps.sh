#!/usr/bin/env bash
# Installs the Debian packages Quorvel needs to build, test and run, when any are missing.
# Idempotent and quick when everything is present: dpkg is asked first, apt-get only runs
# for what is absent. Both README commands call this script.
set -euo pipefail

PACKAGES=(
  # toolchain
  g++ cmake ninja-build pkg-config git
  # test and benchmark frameworks
  libgtest-dev libgmock-dev libbenchmark-dev
  # window, input and OpenGL (SDL2 over X11, Mesa's libGL and libEGL, llvmpipe)
  libsdl2-dev libgl-dev libopengl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  # world and font tools
  libstb-dev nlohmann-json3-dev libtinyobjloader-dev libfreetype-dev fonts-dejavu-core
  # mesh files (glTF, PLY, STL) and simplification for the world compiler
  libassimp-dev libmeshoptimizer-dev
  # end-to-end tests against a real X server with real input
  xvfb xdotool x11-utils xauth
  # core X fonts: SDL's X11 message box needs a normal-width 12-point font, which Xvfb lacks without them
  xfonts-base
  # the Windows build (MinGW-w64, GoogleTest from source), its zip, and Wine to run its tests
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest zip unzip wine wine64
  # fuzzing and leak checks
  # llvm supplies llvm-symbolizer, which readable sanitizer reports and fuzz coverage need
  clang libclang-rt-14-dev llvm valgrind
  # fuzz/build_assimp.sh: unpacking Debian's assimp source, and a header its build needs
  dpkg-dev libutfcpp-dev
  # profiles for the benchmark table (share of frame time in our own code)
  linux-perf
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
