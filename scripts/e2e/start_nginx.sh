#!/usr/bin/env bash
# start_nginx.sh DIR [SIZE_MB] [SMALL_FILES]: generates a small site in DIR/site, writes an nginx
# configuration into DIR/nginx (loopback only, a free port, everything under DIR, no system files
# touched), starts nginx and prints its port. DIR/site/big.zip is SIZE_MB MiB of random bytes
# (default 3); SMALL_FILES (default 0) files of 10 KB are written as DIR/site/s/fN.jpg.
set -euo pipefail
dir=$1
size_mb=${2:-3}
small_files=${3:-0}
here=$(cd "$(dirname "$0")" && pwd)
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
mkdir -p "$dir/site" "$dir/nginx/tmp"
site=$dir/site
printf '<html><body><a href="small.jpg">s</a><img src="big.zip"></body></html>\n' >"$site/index.htm"
head -c 20000 /dev/urandom >"$site/small.jpg"
head -c $((size_mb * 1048576)) /dev/urandom >"$site/big.zip" 2>/dev/null
: >"$site/empty.gif"
if [ "$small_files" -gt 0 ]; then
  mkdir -p "$site/s"
  head -c 10240 /dev/urandom >"$site/s/f0.jpg"
  for i in $(seq 1 $((small_files - 1))); do cp "$site/s/f0.jpg" "$site/s/f$i.jpg"; done
fi
port=$("$here/free_port.sh")
user_line=""
if [ "$(id -u)" -eq 0 ]; then user_line="user root;"; fi
cat >"$dir/nginx/nginx.conf" <<CONF
$user_line
worker_processes 1;
daemon on;
pid $dir/nginx/nginx.pid;
error_log $dir/nginx/error.log;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $dir/nginx/tmp/body;
  proxy_temp_path $dir/nginx/tmp/proxy;
  fastcgi_temp_path $dir/nginx/tmp/fastcgi;
  uwsgi_temp_path $dir/nginx/tmp/uwsgi;
  scgi_temp_path $dir/nginx/tmp/scgi;
  types { text/html htm html; image/jpeg jpg; image/gif gif; application/zip zip; }
  sendfile on;
  absolute_redirect off;
  server {
    listen 127.0.0.1:$port;
    root $site;
    location = /moved.jpg { return 302 /small.jpg; }
  }
}
CONF
"$nginx_bin" -p "$dir/nginx" -c "$dir/nginx/nginx.conf" -e "$dir/nginx/error.log" 2>>"$dir/nginx/start.log"
for _ in $(seq 1 200); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "$port"
    exit 0
  fi
  sleep 0.05
done
echo "nginx did not start" >&2
exit 1
