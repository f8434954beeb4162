#!/usr/bin/env bash
# Builds the transfer benchmark, serves a 1 GiB body from nginx on 127.0.0.1 and compares DC with curl.
#   bash bench/transfer/run.sh [extra options of quillon_transfer_bench, e.g. --runs 5 or --reference raw-direct]
# BENCH_DIR chooses the folder for the big files (default /tmp), BODY_MIB the body size (default 1024).
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/body-folder.sh
make_body_folder quillon-bench
bench="$root/build-bench/bench/transfer/quillon_transfer_bench"
nginx_pid=
cleanup() {
    if [[ -n $nginx_pid ]]; then
        kill "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/save" "$work/temp"
write_body "$work/www/body.flv"

port=$("$bench" --free-port)
# One process, in the foreground, serving from the page cache with sendfile like a real download host.
cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 64; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    client_body_temp_path $work/temp/body;
    proxy_temp_path $work/temp/proxy;
    fastcgi_temp_path $work/temp/fastcgi;
    uwsgi_temp_path $work/temp/uwsgi;
    scgi_temp_path $work/temp/scgi;
    default_type video/x-flv;
    server {
        listen 127.0.0.1:$port;
        root $work/www;
    }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
url="http://127.0.0.1:$port/body.flv"
for _ in $(seq 50); do
    curl --silent --fail --head --output /dev/null "$url" && break
    sleep 0.1
done
# The first read brings the body into the page cache, so every timed run reads it from memory.
curl --silent --fail --output /dev/null "$url"

"$bench" --url "$url" --source "$work/www/body.flv" --target-dir "$work/save" "$@"
