#!/usr/bin/env bash
# stop_peers.sh DIR: stops the nginx servers and tinyproxy started with DIR, by the pids they
# recorded.
dir=$1
if [ -f "$dir/nginx/nginx.pid" ]; then kill "$(cat "$dir/nginx/nginx.pid")" 2>/dev/null || true; fi
if [ -f "$dir/nginx-tls/nginx.pid" ]; then
  kill "$(cat "$dir/nginx-tls/nginx.pid")" 2>/dev/null || true
fi
if [ -f "$dir/tinyproxy/pid" ]; then kill "$(cat "$dir/tinyproxy/pid")" 2>/dev/null || true; fi
for _ in $(seq 1 100); do
  alive=0
  [ -f "$dir/nginx/nginx.pid" ] && kill -0 "$(cat "$dir/nginx/nginx.pid" 2>/dev/null)" 2>/dev/null && alive=1
  [ -f "$dir/nginx-tls/nginx.pid" ] &&
    kill -0 "$(cat "$dir/nginx-tls/nginx.pid" 2>/dev/null)" 2>/dev/null && alive=1
  [ -f "$dir/tinyproxy/pid" ] && kill -0 "$(cat "$dir/tinyproxy/pid" 2>/dev/null)" 2>/dev/null && alive=1
  [ $alive -eq 0 ] && exit 0
  sleep 0.05
done
exit 0
