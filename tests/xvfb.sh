#!/usr/bin/env bash
# Starts or stops the Xvfb servers that the windowed tests draw on: xvfb.sh start|stop :N [:M...]
set -u
action=${1:-}
shift || true
[ $# -gt 0 ] || set -- :97

start_one() {
  local display=${1#:}
  local pidfile=/tmp/vellimor-xvfb-$display.pid
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then return 0; fi
  rm -f /tmp/.X$display-lock
  # -noreset: the probe below is the last client to leave, and a reset then would refuse the first
  # test's connection.
  setsid Xvfb :$display -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  echo $! > "$pidfile"
  for _ in $(seq 50); do
    if DISPLAY=:$display xdpyinfo >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  echo "Xvfb did not start on :$display" >&2
  return 1
}

stop_one() {
  local pidfile=/tmp/vellimor-xvfb-${1#:}.pid
  if [ -f "$pidfile" ]; then kill "$(cat "$pidfile")" 2>/dev/null; rm -f "$pidfile"; fi
}

case "$action" in
start)
  for d in "$@"; do start_one "$d" & done
  status=0
  for _ in "$@"; do wait -n || status=1; done
  exit $status
  ;;
stop)
  for d in "$@"; do stop_one "$d"; done
  exit 0
  ;;
*)
  echo "usage: xvfb.sh start|stop :N [:M...]" >&2
  exit 2
  ;;
esac
