#!/usr/bin/env bash
# start_nginx_tls.sh DIR: serves DIR/site (made by start_nginx.sh) over TLS from a second nginx
# with its configuration in DIR/nginx-tls. The certificates are made in DIR/certs
# (make_test_certs.sh; the tests trust DIR/certs/ca.pem through SSL_CERT_FILE). Prints six free
# loopback ports on one line: TLS with the good, the expired, the wrong-name and the untrusted
# certificate, then a plain-HTTP port, then TLS with the good certificate and HTTP/2 chosen by
# ALPN when offered ("h2"; a client that offers only HTTP/1.1 gets that). Redirects: https
# /tohttp.jpg -> http /small.jpg and http /tohttps.jpg -> https /small.jpg; /cookie-to-http(s)
# set a cookie and redirect to the other scheme's /cookie-echo, which answers with the request's
# Cookie header.
set -euo pipefail
dir=$1
here=$(cd "$(dirname "$0")" && pwd)
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
"$here/make_test_certs.sh" "$dir/certs" >/dev/null
conf=$dir/nginx-tls
mkdir -p "$conf/tmp"
names=(good expired wrongname untrusted)
declare -A port
for n in "${names[@]}" plain h2; do port[$n]=$("$here/free_port.sh"); done
user_line=""
if [ "$(id -u)" -eq 0 ]; then user_line="user root;"; fi
servers=""
for n in "${names[@]}"; do
  servers+="  server { listen 127.0.0.1:${port[$n]} ssl; root $dir/site;
    ssl_certificate $dir/certs/$n.pem; ssl_certificate_key $dir/certs/$n.key;
    location = /tohttp.jpg { return 302 http://127.0.0.1:${port[plain]}/small.jpg; }
    location = /cookie-to-http { add_header Set-Cookie \"s=1\";
      return 302 http://127.0.0.1:${port[plain]}/cookie-echo; }
    location = /cookie-echo { return 200 \"cookie=[\$http_cookie]\"; } }
"
done
cat >"$conf/nginx.conf" <<CONF
$user_line
worker_processes 1;
daemon on;
pid $conf/nginx.pid;
error_log $conf/error.log;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $conf/tmp/body;
  proxy_temp_path $conf/tmp/proxy;
  fastcgi_temp_path $conf/tmp/fastcgi;
  uwsgi_temp_path $conf/tmp/uwsgi;
  scgi_temp_path $conf/tmp/scgi;
  types { text/html htm html; image/jpeg jpg; image/gif gif; application/zip zip; }
  sendfile on;
  ssl_protocols TLSv1.2 TLSv1.3;
  ssl_session_cache shared:tls:1m;
$servers
  server { listen 127.0.0.1:${port[h2]} ssl http2; root $dir/site;
    ssl_certificate $dir/certs/good.pem; ssl_certificate_key $dir/certs/good.key;
    location = /tohttp.jpg { return 302 http://127.0.0.1:${port[plain]}/small.jpg; }
    location = /cookie-echo { return 200 "cookie=[\$http_cookie]"; } }
  server { listen 127.0.0.1:${port[plain]}; root $dir/site;
    location = /tohttps.jpg { return 302 https://127.0.0.1:${port[good]}/small.jpg; }
    location = /cookie-to-https { add_header Set-Cookie "p=1";
      return 302 https://127.0.0.1:${port[good]}/cookie-echo; }
    location = /cookie-echo { return 200 "cookie=[\$http_cookie]"; } }
}
CONF
"$nginx_bin" -p "$conf" -c "$conf/nginx.conf" -e "$conf/error.log" 2>>"$conf/start.log"
for n in "${names[@]}" plain h2; do
  ok=0
  for _ in $(seq 1 200); do
    if (exec 3<>"/dev/tcp/127.0.0.1/${port[$n]}") 2>/dev/null; then ok=1; break; fi
    sleep 0.05
  done
  if [ $ok -eq 0 ]; then echo "nginx did not start" >&2; exit 1; fi
done
echo "${port[good]} ${port[expired]} ${port[wrongname]} ${port[untrusted]} ${port[plain]} ${port[h2]}"
