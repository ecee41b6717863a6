#!/usr/bin/env bash
# Builds Quorvel for the browser into build-web/: the page (index.html, quorvel-page.js and .css),
# the program (quorvel.js, quorvel.wasm) and the demo world, its font and its flight packed beside
# them (quorvel.data), all of it zipped as build-web/quorvel-web.zip. Installs what is missing
# first (scripts/deps.sh run web: emscripten, nodejs, npm, chromium-headless-shell, firefox-esr). The demo world is
# made by the Linux tools (build/), as for the Windows build; the browser tests' puppeteer-core
# is installed from its lock file in tests/web.
#   scripts/web.sh           build and pack
#   scripts/web.sh --serve   then serve build-web/ on http://127.0.0.1:8800/ for a look
set -euo pipefail
cd "$(dirname "$0")/.."
serve=0
case "${1:-}" in
  --serve) serve=1 ;;
  "") ;;
  *) echo "usage: scripts/web.sh [--serve]" >&2; exit 2 ;;
esac
scripts/deps.sh run web

echo "== Linux tools: the demo world and the font (build/) =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target demo_world quorvel_font_data quorvel-capture

echo "== web build (build-web/) =="
# Debian's emscripten finds its JavaScript modules through NODE_PATH when node is not Debian's.
# Its configuration and prebuilt system libraries are used as installed: no EM_CACHE, no EM_CONFIG.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_WEB_WORLD="$PWD/build/run" >/dev/null
cmake --build build-web --target quorvel

echo "== the browser tests' puppeteer-core (tests/web) =="
# Only when the installed packages are not those of the lock file; never a browser download.
if ! cmp -s tests/web/package-lock.json tests/web/node_modules/.installed-lock.json 2>/dev/null; then
  (cd tests/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error &&
     cp package-lock.json node_modules/.installed-lock.json)
fi

echo "== quorvel-web.zip =="
files=(index.html quorvel-page.js quorvel-touch.js quorvel-page.css quorvel.js quorvel.wasm quorvel.data)
rm -rf build-web/package build-web/quorvel-web.zip
mkdir -p build-web/package/quorvel-web
for f in "${files[@]}"; do cp "build-web/$f" build-web/package/quorvel-web/; done
(cd build-web/package && zip -qr ../quorvel-web.zip quorvel-web)
for f in quorvel.wasm quorvel.js quorvel.data quorvel-web.zip; do
  printf '%-16s %9d bytes, %9d gzipped\n' "$f" "$(stat -c %s "build-web/$f")" "$(gzip -9 -c "build-web/$f" | wc -c)"
done
echo "made build-web/quorvel-web.zip"

if [ "$serve" = 1 ]; then
  exec node scripts/web-serve.mjs build-web --port "${QV_WEB_PORT:-8800}"
fi
