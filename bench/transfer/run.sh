#!/usr/bin/env bash
# Builds the transfer benchmark, serves a 1 GiB body from nginx on 127.0.0.1 and compares DC with curl.
#   bash bench/transfer/run.sh [extra options of quillon_transfer_bench, e.g. --runs 5 or --reference raw-direct]
# BENCH_DIR chooses the folder for the big files (default /tmp), BODY_MIB the body size (default 1024).
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/body-folder.sh
source bench/peers.sh
make_body_folder quillon-bench
bench="$root/build-bench/bench/transfer/quillon_transfer_bench"
peer_launcher="$root/build-bench/tests/support/quillon_peer"
trap 'stop_peers; rm -rf "$work"' EXIT

mkdir -p "$work/www" "$work/save"
write_body "$work/www/body.flv"

start_peer web nginx "$work/www"
url="http://127.0.0.1:$web_port/body.flv"
# The first read brings the body into the page cache, so every timed run reads it from memory.
curl --silent --fail --output /dev/null "$url"

"$bench" --url "$url" --source "$work/www/body.flv" --target-dir "$work/save" "$@"
