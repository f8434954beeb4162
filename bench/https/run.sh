#!/usr/bin/env bash
# Builds the HTTPS benchmark, writes a random body and compares DC with curl over TLS from nginx.
#   bash bench/https/run.sh [--runs N]
# BENCH_DIR chooses the folder for the big files (default /tmp), BODY_MIB the body size (default 1024).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
body_mib=${BODY_MIB:-1024}

bash scripts/build.sh build-bench -DQUILLON_BENCH=ON
bench="$root/build-bench/bench/https/quillon_https_bench"

parent=${BENCH_DIR:-/tmp}
# The served body, curl's copy and DC's copy exist at the same time at most.
need_kib=$((body_mib * 1024 * 3 + 512 * 1024))
free_kib=$(df --output=avail -k "$parent" | tail -1)
if ((free_kib < need_kib)); then
    echo "Not enough room in $parent: $((free_kib / 1024)) MiB free, $((need_kib / 1024)) MiB needed" >&2
    exit 1
fi

work=$(mktemp -d "$parent/quillon-https-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "Writing a ${body_mib} MiB body to $work"
head -c $((body_mib * 1024 * 1024)) /dev/urandom >"$work/body.flv"
"$bench" --body "$work/body.flv" "$@"
