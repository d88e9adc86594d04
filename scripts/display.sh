# Sourced by the scripts that open windows: start_display gives this shell a virtual X display
# of its own (Xvfb picks a free number) with a small window manager, so that windows get a
# title bar and focus as on a desktop, and exports DISPLAY. stop_display ends both (put it in
# the caller's EXIT trap).
start_display() {  # [width x height x depth]
  local screen=${1:-1280x800x24} file
  file=$(mktemp "${TMPDIR:-/tmp}/lumbrake-display.XXXXXX")
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$file" >/dev/null 2>&1 &
  _display_pids="$! ${_display_pids:-}"
  for _ in $(seq 100); do [ -s "$file" ] && break; sleep 0.1; done
  [ -s "$file" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$file")"
  rm -f "$file"
  openbox >/dev/null 2>&1 &
  _display_pids="$! $_display_pids"
  sleep 0.5
}

stop_display() {
  kill ${_display_pids:-} 2>/dev/null || true
  _display_pids=
}
