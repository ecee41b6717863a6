# Sourced by the scripts that need an X server: starts Xvfb on a free display number when no
# display is set, exports DISPLAY, and stops the server when the calling script exits.
qv_start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
      # -noreset: the server does not start over whenever its last client goes, which on a busy
      # machine can refuse a connection made just then.
      Xvfb ":${n}" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
      QV_XVFB_PID=$!
      export DISPLAY=":${n}"
      trap 'kill "${QV_XVFB_PID}" 2>/dev/null || true' EXIT
      local i
      for i in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
      done
      echo "Xvfb did not start on :${n}" >&2
      return 1
    fi
  done
  echo "no free X display number" >&2
  return 1
}
