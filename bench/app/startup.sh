#!/usr/bin/env bash
# Program start-up: builds with the benchmarks into build-bench/ and runs the start-up benchmark.
#   bash bench/app/startup.sh [--runs N]
# Needs ffmpeg for the test video.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/build.sh build-bench -DQUILLON_BENCH=ON >/dev/null
exec build-bench/bench/app/quillon_startup_bench "$@"
