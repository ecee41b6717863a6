#!/usr/bin/env bash
# Builds the mesh importers the world compiler uses (assimp's glTF 2, PLY and STL readers) from
# Debian's own source package of the libassimp that is installed, with clang and the fuzz
# build's sanitizers and coverage, as a static library under PREFIX/install. A fault inside the
# importer is then reported where it happens instead of surfacing later as damaged heap.
#
#   fuzz/build_assimp.sh PREFIX
#
# The source comes through apt-get from the deb-src twins of the machine's own Debian sources,
# with a private apt state under PREFIX (the system's apt configuration is not changed). The
# build is kept: a second run with the same version and flags does nothing.
set -euo pipefail

prefix=${1:?usage: fuzz/build_assimp.sh PREFIX}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
version=$(dpkg-query -W -f='${source:Version}' libassimp5 2>/dev/null || true)
if [ -z "$version" ]; then
  echo "build_assimp.sh: libassimp5 is not installed (scripts/deps.sh installs it)" >&2
  exit 1
fi
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
importers="GLTF PLY STL"
stamp="$version | $flags | $importers | $(clang --version | head -1)"
if [ -f "$prefix/install/lib/libassimp.a" ] && [ "$(cat "$prefix/stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi

# Source: the exact version the program links.
src=$prefix/src
if [ ! -f "$src/assimp-${version%-*}/CMakeLists.txt" ]; then
  apt=$prefix/apt
  rm -rf "$apt" "$src"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$src"
  apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(TARGET_OF)' |
    awk '$4 == "deb" { print "deb-src " $1 " " $2 " " $3 }' | sort -u >"$apt/sources.list"
  aptopts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
           -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Sandbox::User="$(id -un)")
  echo "build_assimp.sh: fetching Debian's source of assimp $version" >&2
  apt-get "${aptopts[@]}" -qq update
  (cd "$src" && apt-get "${aptopts[@]}" -qq source "assimp=$version" >/dev/null)
fi
tree=$src/assimp-${version%-*}

# Only the three importers, no exporters, tools or tests; zlib and minizip as installed.
echo "build_assimp.sh: building assimp's glTF, PLY and STL importers with the sanitizers" >&2
build=$prefix/build
rm -rf "$build" "$prefix/install"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$tree" -B "$build" -G Ninja "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="" \
  -DCMAKE_INSTALL_PREFIX="$prefix/install" -DCMAKE_INSTALL_LIBDIR=lib \
  -DBUILD_SHARED_LIBS=OFF -DASSIMP_NO_EXPORT=ON -DASSIMP_BUILD_ALL_IMPORTERS_BY_DEFAULT=OFF \
  -DASSIMP_BUILD_GLTF_IMPORTER=ON -DASSIMP_BUILD_PLY_IMPORTER=ON -DASSIMP_BUILD_STL_IMPORTER=ON \
  -DASSIMP_BUILD_ASSIMP_TOOLS=OFF -DASSIMP_BUILD_TESTS=OFF -DASSIMP_BUILD_SAMPLES=OFF \
  -DASSIMP_BUILD_DOCS=OFF -DASSIMP_BUILD_ZLIB=OFF -DASSIMP_WARNINGS_AS_ERRORS=OFF \
  -DASSIMP_IGNORE_GIT_HASH=ON -DASSIMP_INJECT_DEBUG_POSTFIX=OFF >"$prefix/configure.log" 2>&1 ||
  { tail -20 "$prefix/configure.log" >&2; exit 1; }
cmake --build "$build" -j "${QV_JOBS:-2}" >"$prefix/build.log" 2>&1 || { tail -30 "$prefix/build.log" >&2; exit 1; }
cmake --install "$build" >/dev/null
echo "$stamp" >"$prefix/stamp"
