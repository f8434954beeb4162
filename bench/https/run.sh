#!/usr/bin/env bash
# Builds the HTTPS benchmark, writes a random body and compares DC with curl over TLS from nginx.
#   bash bench/https/run.sh [--runs N]
# BENCH_DIR chooses the folder for the big files (default /tmp), BODY_MIB the body size (default 1024).
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/body-folder.sh
make_body_folder quillon-https-bench
trap 'rm -rf "$work"' EXIT
bench="$root/build-bench/bench/https/quillon_https_bench"
write_body "$work/body.flv"
"$bench" --body "$work/body.flv" "$@"
