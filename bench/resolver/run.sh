#!/usr/bin/env bash
# Load test of quillon-resolver: wrk sends the program's resolution request over 64 connections for 30 s to a
# resolver on 127.0.0.1, which fetches a page from a local nginx each time. Prints requests per second, p99
# latency, failures and the resolver's resident memory before and after.
#   run.sh [RESOLVER_PROGRAM] [SECONDS] [CONNECTIONS]
set -euo pipefail
cd "$(dirname "$0")/../.."
program=${1:-build/src/resolver/quillon-resolver}
seconds=${2:-30}
connections=${3:-64}

work=$(mktemp -d)
nginx_pid=""
resolver_pid=""
cleanup() {
  [ -n "$resolver_pid" ] && kill "$resolver_pid" 2>/dev/null || true
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_for_port() {
  for _ in $(seq 1 100); do
    if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $1), 1)" 2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  echo "run.sh: nothing listens on port $1" >&2
  return 1
}

resident_kib() {
  awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"
}

# A page of the size and shape of a real video page: 60 KB of markup, Open Graph, a player, links.
mkdir -p "$work/www" "$work/logs"
python3 - "$work/www/watch.html" <<'PY'
import sys
parts = ['<!DOCTYPE html><html><head><meta charset="utf-8"><title>A film</title>',
         '<meta property="og:video" content="/embed/12345">',
         '<meta property="og:video:url" content="https://cdn.example/v/12345.mp4">',
         '<script type="application/ld+json">{"@type":"VideoObject","contentUrl":"/v/12345.mp4"}</script>',
         '</head><body><div id="player"><video src="/v/12345.webm"></video>',
         '<embed src="/player.swf" flashvars="autostart=1&amp;file=%2Fv%2F12345.flv"></div>']
for i in range(600):
    parts.append(f'<div class="comment"><a href="/user/{i}">user {i}</a><p>Comment number {i} on this film.</p></div>')
parts.append('</body></html>')
open(sys.argv[1], 'w').write(''.join(parts))
PY

nginx_port=$(free_port)
cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
error_log $work/logs/error.log;
pid $work/nginx.pid;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  types { text/html html; }
  server { listen 127.0.0.1:$nginx_port; root $work/www; }
}
CONF
/usr/sbin/nginx -p "$work" -c "$work/nginx.conf" -e "$work/logs/error.log" &
nginx_pid=$!
wait_for_port "$nginx_port"

resolver_port=$(free_port)
# wrk stands for many users from one address: it gets everyone's shares.
"$program" --port "$resolver_port" --connections-per-address 400 --resolutions-per-address 64 > "$work/logs/resolver.log" 2>&1 &
resolver_pid=$!
wait_for_port "$resolver_port"

page="http://127.0.0.1:$nginx_port/watch.html"
# The program's own encoding: letters and digits as they are, everything else as %XX.
export PAGE_URL_ENCODED=$(python3 -c 'import sys; print("".join(c if c.isascii() and c.isalnum() else "%%%02X" % ord(c) for c in sys.argv[1]))' "$page")

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "resolver resident memory before: $(resident_kib "$resolver_pid") KiB"
wrk --threads 2 --connections "$connections" --duration "${seconds}s" --timeout 10s --latency \
    --script bench/resolver/resolve.lua "http://127.0.0.1:$resolver_port/xurl/"
echo "resolver resident memory after: $(resident_kib "$resolver_pid") KiB"
echo "machine after: load average $(cut -d' ' -f1-3 /proc/loadavg)"
