# A virtual screen for the tray tool's timings, with a window manager as a
# desktop has; source this file.
#   start_desktop [--no-window-manager]
#                           when no DISPLAY is set: starts Xvfb on a free
#                           display and openbox on it, sets DISPLAY, and
#                           returns once both answer
#   stop_desktop            ends what start_desktop started
# Without a window manager, Wine waits two seconds for one whenever a
# window that had the focus (the tool's popup, replaced by the next) or the
# tray (its last icon gone) leaves the screen: on a desktop the window
# manager answers at once. The tests run without one; timings are taken
# with one.

desktop_pids=()

start_desktop() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 189); do [ -e "/tmp/.X$n-lock" ] || break; done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  desktop_pids+=($!)
  export DISPLAY=:$n
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  xdpyinfo >/dev/null 2>&1 || { echo "desktop: Xvfb did not start on $DISPLAY" >&2; return 1; }
  [ "${1:-}" = --no-window-manager ] && return 0
  openbox --sm-disable >/dev/null 2>&1 &
  desktop_pids+=($!)
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  echo "desktop: openbox did not start" >&2
  return 1
}

stop_desktop() {
  [ ${#desktop_pids[@]} -gt 0 ] && kill "${desktop_pids[@]}" 2>/dev/null
  desktop_pids=()
  return 0
}
