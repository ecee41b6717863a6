# Sourced by the scripts that run Windows programs under Wine (Debian's wine64). qv_wine_prefix DIR
# exports a quiet Wine environment with its prefix in DIR (inside a build folder) and creates the
# prefix once, with the settings Quorvel's tests rely on:
#   - X11 Driver Managed=N: without a window manager, managed windows wait 2 s to be destroyed
#     and may not get the keyboard;
#   - WineDbg ShowCrashDialog=0: a crash ends the program instead of waiting on a dialog.
# qv_wine_stop ends that prefix's wineserver (and every program still running in it).
qv_wine_prefix() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  export WINEARCH=win64
  if [ -f "$WINEPREFIX/.quorvel-ready" ]; then
    return 0
  fi
  mkdir -p "$WINEPREFIX"
  (
    # Several test processes may start at once: one creates the prefix, the others wait for it.
    flock 9
    if [ ! -f "$WINEPREFIX/.quorvel-ready" ]; then
      echo "creating the Wine prefix $WINEPREFIX" >&2
      wineboot -i >/dev/null 2>&1 || true
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.quorvel-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

qv_wine_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
}
