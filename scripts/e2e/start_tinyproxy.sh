#!/usr/bin/env bash
# start_tinyproxy.sh DIR: writes a tinyproxy configuration into DIR/tinyproxy (loopback only, a free
# port), starts tinyproxy in the foreground as a background job of this script and prints its port.
set -euo pipefail
dir=$1
here=$(cd "$(dirname "$0")" && pwd)
tp_bin=$(command -v tinyproxy || echo /usr/bin/tinyproxy)
mkdir -p "$dir/tinyproxy"
port=$("$here/free_port.sh")
user_lines=""
if [ "$(id -u)" -eq 0 ]; then user_lines=$'User root\nGroup root'; fi
cat >"$dir/tinyproxy/tinyproxy.conf" <<CONF
$user_lines
Port $port
Listen 127.0.0.1
Timeout 60
MaxClients 20
Allow 127.0.0.1
LogLevel Error
DisableViaHeader Yes
CONF
nohup "$tp_bin" -d -c "$dir/tinyproxy/tinyproxy.conf" >"$dir/tinyproxy/log" 2>&1 &
echo $! >"$dir/tinyproxy/pid"
for _ in $(seq 1 200); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "$port"
    exit 0
  fi
  sleep 0.05
done
echo "tinyproxy did not start" >&2
exit 1
