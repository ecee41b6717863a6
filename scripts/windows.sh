#!/usr/bin/env bash
# Builds Quorvel for 64-bit Windows and packs build-win/quorvel-windows.zip: quorvel.exe, the demo
# world (demo.kbw, demo.ktl, textures/), the overlay's font (font.kbf) and README.txt. Installs
# what is missing first. The demo world and the font are made by the Linux tools (build/), the
# program by MinGW-w64 (build-win/, cmake/mingw-w64-x86_64.cmake). Checks that quorvel.exe imports
# only system DLLs. Run the result under Wine with:
#   scripts/wine-run.sh build-win/wineprefix build-win/app/quorvel.exe build/run
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run windows

echo "== Linux tools: the demo world and the font (build/) =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target demo_world quorvel_font_data

echo "== Windows build (build-win/) =="
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win --target quorvel

exe=build-win/app/quorvel.exe
# Only DLLs every Windows has: the runtimes are linked in.
allowed='^(KERNEL32|USER32|GDI32|OPENGL32|DINPUT|WINMM|msvcrt)\.dll$'
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}')
echo "quorvel.exe imports: $(echo $imports)"
for dll in $imports; do
  if ! [[ "$dll" =~ $allowed ]]; then
    echo "quorvel.exe imports $dll, which is not a system DLL" >&2
    exit 1
  fi
done

# A window program: a double-click must not open a console beside the window.
subsystem=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/^Subsystem/ {print $3, $4}')
if [ "$subsystem" != "(Windows GUI)" ]; then
  echo "quorvel.exe is not built for the Windows GUI subsystem" >&2
  exit 1
fi

# The version resource carries the project's version (Properties > Details in Explorer).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win/CMakeCache.txt)
if ! strings -el "$exe" | grep -qFx "$version"; then
  echo "quorvel.exe has no version resource naming $version" >&2
  exit 1
fi
echo "quorvel.exe version resource: $version"

echo "== quorvel-windows.zip =="
stage=build-win/package/Quorvel
rm -rf build-win/package build-win/quorvel-windows.zip
mkdir -p "$stage"
cp "$exe" build/run/demo.kbw build/run/demo.ktl build/run/font.kbf "$stage/"
cp -r build/run/textures "$stage/"
sed 's/$/\r/' data/windows/README.txt >"$stage/README.txt" # Windows line ends for Notepad
(cd build-win/package && zip -qr ../quorvel-windows.zip Quorvel)
unzip -l build-win/quorvel-windows.zip | tail -n 1
echo "made build-win/quorvel-windows.zip"
