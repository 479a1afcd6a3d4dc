#!/usr/bin/env bash
# Starts or stops the Xvfb server that the windowed tests draw on: xvfb.sh start|stop :N
set -u
display=${2:-:97}
display=${display#:}
pidfile=/tmp/vellimor-xvfb-$display.pid
case "${1:-}" in
start)
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then exit 0; fi
  rm -f /tmp/.X$display-lock
  # -noreset: the probe below is the last client to leave, and a reset then would refuse the first
  # test's connection.
  setsid Xvfb :$display -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  echo $! > "$pidfile"
  for _ in $(seq 50); do
    if DISPLAY=:$display xdpyinfo >/dev/null 2>&1; then exit 0; fi
    sleep 0.1
  done
  echo "Xvfb did not start on :$display" >&2
  exit 1
  ;;
stop)
  if [ -f "$pidfile" ]; then kill "$(cat "$pidfile")" 2>/dev/null; rm -f "$pidfile"; fi
  exit 0
  ;;
*)
  echo "usage: xvfb.sh start|stop" >&2
  exit 2
  ;;
esac
