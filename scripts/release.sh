#!/usr/bin/env bash
# Makes the release files in dist/, all named with the project's version (CMake's project
# version, the one place it is set):
#   quorvel_VERSION_ARCH.deb       the Debian package (CPack's DEB generator, from build/),
#                                  its dependencies computed from the programs (dpkg-shlibdeps)
#   quorvel-VERSION-windows.zip    scripts/windows.sh's zip
#   quorvel-VERSION-web.zip        scripts/web.sh's zip
#   SHA256SUMS                     their checksums, verified before the script ends
# Installs what is missing first (scripts/deps.sh run release windows web). The package must pass
# lintian without errors; its warnings are printed.
#   scripts/release.sh           build everything and pack
#   scripts/release.sh --reuse   pack the Windows and web zips already built (scripts/test.sh
#                                has just made them) instead of running their scripts again
set -euo pipefail
cd "$(dirname "$0")/.."
reuse=0
case "${1:-}" in
  --reuse) reuse=1 ;;
  "") ;;
  *) echo "usage: scripts/release.sh [--reuse]" >&2; exit 2 ;;
esac
scripts/deps.sh run release windows web

echo "== Linux build (build/): the programs, the demo world and the package's files =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target quorvel quorvel-world quorvel-capture demo_world quorvel_font_data quorvel_package_files
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
arch=$(dpkg --print-architecture)
deb=quorvel_${version}_${arch}.deb

if [ "$reuse" = 0 ]; then
  scripts/windows.sh
  scripts/web.sh
fi
for zip in build-win/quorvel-windows.zip build-web/quorvel-web.zip; do
  [ -f "$zip" ] || { echo "release.sh: $zip is missing (scripts/windows.sh and scripts/web.sh make them)" >&2; exit 1; }
done

echo "== the Debian package =="
rm -rf build/package
(cd build && cpack -G DEB >/dev/null)
echo "lintian:"
# Errors fail the release; anything else is listed.
if ! lintian --fail-on error "build/package/$deb" 2>&1 | sed 's/^/  /'; then
  echo "release.sh: lintian reports errors in $deb" >&2
  exit 1
fi

echo "== dist/ =="
rm -rf dist
mkdir dist
cp "build/package/$deb" dist/
cp build-win/quorvel-windows.zip "dist/quorvel-$version-windows.zip"
cp build-web/quorvel-web.zip "dist/quorvel-$version-web.zip"
(cd dist && sha256sum "$deb" "quorvel-$version-windows.zip" "quorvel-$version-web.zip" >SHA256SUMS && sha256sum -c SHA256SUMS)
ls -l dist
