#!/usr/bin/env bash
# Builds the transfer benchmark, serves a 1 GiB body from nginx on 127.0.0.1 and compares DC with curl.
#   bash bench/transfer/run.sh [extra options of quillon_transfer_bench, e.g. --runs 5 or --reference raw-direct]
# BENCH_DIR chooses the folder for the big files (default /tmp), BODY_MIB the body size (default 1024).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
body_mib=${BODY_MIB:-1024}

bash scripts/build.sh build-bench -DQUILLON_BENCH=ON
bench="$root/build-bench/bench/transfer/quillon_transfer_bench"

parent=${BENCH_DIR:-/tmp}
# The served body, curl's copy and DC's copy (with its temporary file) exist at the same time at most.
need_kib=$((body_mib * 1024 * 3 + 512 * 1024))
free_kib=$(df --output=avail -k "$parent" | tail -1)
if ((free_kib < need_kib)); then
    echo "Not enough room in $parent: $((free_kib / 1024)) MiB free, $((need_kib / 1024)) MiB needed" >&2
    exit 1
fi

work=$(mktemp -d "$parent/quillon-bench.XXXXXX")
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
echo "Writing a ${body_mib} MiB body to $work/www"
head -c $((body_mib * 1024 * 1024)) /dev/urandom >"$work/www/body.flv"

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
