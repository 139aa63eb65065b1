#!/bin/sh
# Starts or stops the sample server for a test run.
#   server_ctl.sh start STATE_DIR   fresh state folder, server in the background, waits
#                                   until it has written its port
#   server_ctl.sh stop STATE_DIR    ends the server this folder names
here=$(cd "$(dirname "$0")" && pwd)
action=$1
dir=$2

stop() {
  [ -s "$dir/pid" ] || return 0
  pid=$(cat "$dir/pid")
  kill "$pid" 2>/dev/null
  # Gone, or a zombie that only its adopter has still to reap.
  for _ in $(seq 1 100); do
    state=$(ps -o stat= -p "$pid" 2>/dev/null) || break
    case "$state" in Z*) break ;; esac
    sleep 0.05
  done
  rm -f "$dir/pid" "$dir/port"
}

case "$action" in
  start)
    stop
    rm -rf "$dir"
    mkdir -p "$dir"
    # Its own session, and no inherited pipes: ctest would wait for them to close.
    setsid python3 "$here/sample_server.py" "$dir" </dev/null >"$dir.log" 2>&1 &
    for _ in $(seq 1 200); do
      [ -s "$dir/port" ] && exit 0
      sleep 0.05
    done
    echo "sample server did not start; see $dir.log" >&2
    exit 1
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: server_ctl.sh start|stop STATE_DIR" >&2
    exit 2
    ;;
esac
