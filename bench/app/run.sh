#!/usr/bin/env bash
# The main window's benchmark: builds with the benchmarks into build-bench/ and runs it.
#   bash bench/app/run.sh [--mib N] [--runs N] [--dir FOLDER]
# Needs nginx, curl and cmp, and room for the video twice in FOLDER (default /tmp).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/build.sh build-bench -DQUILLON_BENCH=ON >/dev/null
exec build-bench/bench/app/quillon_window_bench "$@"
