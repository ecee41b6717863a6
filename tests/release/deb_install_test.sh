#!/usr/bin/env bash
# The Debian package end to end: dpkg installs it into a throwaway root (its dependencies are
# checked against this machine with dpkg --dry-run), the installed quorvel is started from an
# empty folder on the X server, its FPS lines appear under $XDG_STATE_HOME/quorvel (and, without
# XDG_STATE_HOME, under ~/.local/state/quorvel) and nothing is written to the folder it started
# in nor to the home folder; then dpkg purges it and no file of the package is left.
#   deb_install_test.sh PACKAGE.deb VERSION
# Needs DISPLAY (scripts/test.sh starts Xvfb); skips (77) without the package, dpkg or a display.
set -uo pipefail
deb=$1
skip() {
  echo "skipped: $*"
  if [ "${QV_REQUIRE_DEB:-0}" = 1 ] && [ "${2:-}" != optional ]; then exit 1; fi
  exit 77
}
[ -f "$deb" ] || skip "$deb is missing (scripts/release.sh makes it)"
command -v dpkg >/dev/null || skip "dpkg is not installed"
[ -n "${DISPLAY:-}" ] || skip "no DISPLAY" optional

tmp=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

# Every dependency is met on this machine: what apt would have to fetch first.
if [ "$(id -u)" = 0 ]; then
  dpkg --dry-run -i "$deb" >"$tmp/dry-run.txt" 2>&1 || { cat "$tmp/dry-run.txt"; fail "dpkg --dry-run -i refused the package"; }
  echo "ok: dpkg --dry-run -i finds every dependency"
else
  echo "(not root: dpkg --dry-run skipped)"
fi

# Installed for real by dpkg, into a root of its own (no dependencies there: the programs use
# this machine's libraries).
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-not-root --force-depends --force-script-chrootless --log=/dev/null -i "$deb" \
  >"$tmp/install.txt" 2>&1 || { cat "$tmp/install.txt"; fail "dpkg could not install the package into $root"; }
[ -x "$root/usr/bin/quorvel" ] || fail "no $root/usr/bin/quorvel after the install"
echo "ok: installed into a throwaway root"

# Waits up to 60 s for an "FPS: N" line in $1, with the program still running or ended.
wait_for_fps() {
  local log=$1 deadline=$((SECONDS + 60))
  while [ $SECONDS -lt $deadline ]; do
    grep -qE '^FPS: [0-9]+$' "$log" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  grep -qE '^FPS: [0-9]+$' "$log" 2>/dev/null
}
# Ends the program as a window manager's quit would (SDL turns SIGTERM into a quit event) and
# expects exit status 0 within 30 s.
stop_program() {
  kill -TERM "$pid"
  local deadline=$((SECONDS + 30))
  while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "quorvel did not end within 30 s of SIGTERM"
  wait "$pid"
  local status=$?
  pid=""
  [ "$status" = 0 ] || fail "quorvel ended with status $status"
}
# Lists every file under $1 (nothing for an empty tree).
files_in() { find "$1" -mindepth 1 -not -type d; }

run_case() {  # $1: XDG_STATE_HOME or "", $2: where the log must appear
  local xdg=$1 log=$2 empty=$tmp/empty home=$tmp/home
  rm -rf "$empty" "$home"
  mkdir -p "$empty" "$home"
  (
    cd "$empty" || exit 120
    if [ -n "$xdg" ]; then export XDG_STATE_HOME=$xdg; else unset XDG_STATE_HOME; fi
    HOME=$home exec "$root/usr/bin/quorvel" 2>"$tmp/stderr.txt"
  ) &
  pid=$!
  start=$SECONDS
  wait_for_fps "$log" || { cat "$tmp/stderr.txt"; fail "no FPS line in $log within 60 s"; }
  echo "ok: first FPS line in $log after $((SECONDS - start)) s: $(head -n 1 "$log")"
  stop_program
  [ -z "$(files_in "$empty")" ] || fail "files written to the folder it started in: $(files_in "$empty")"
  echo "ok: nothing written to the folder it started in"
  local in_home
  in_home=$(files_in "$home")
  case "$log" in
    "$home"/*) [ "$in_home" = "$log" ] || fail "in the home folder besides the log: $in_home" ;;
    *) [ -z "$in_home" ] || fail "files written to the home folder: $in_home" ;;
  esac
  echo "ok: the home folder holds only what it should"
}
run_case "$tmp/state" "$tmp/state/quorvel/FPSlog.txt"
run_case "" "$tmp/home/.local/state/quorvel/FPSlog.txt"

# Purged, the package leaves none of its files in the root.
dpkg --root="$root" --force-not-root --force-script-chrootless --log=/dev/null -P quorvel >"$tmp/purge.txt" 2>&1 \
  || { cat "$tmp/purge.txt"; fail "dpkg could not purge the package"; }
left=$(find "$root" -mindepth 1 -path "$root/var" -prune -o -print)
[ -z "$left" ] || fail "left after the purge: $left"
echo "ok: purged, nothing of the package is left"
