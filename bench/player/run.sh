#!/usr/bin/env bash
# Builds the player benchmarks into build-bench and runs them offscreen and on a virtual X display.
#   bench/player/run.sh
# Run it on a quiet machine: the figures are CPU time per second of video, and other builds inflate them.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/build.sh build-bench -DQUILLON_BENCH=ON
bench=build-bench/bench/player
echo "machine: $(nproc) cores; $(uptime)"
status=0
for display in offscreen xvfb; do
  echo "== $display"
  for program in bench_player_cpu bench_player_loads; do
    if [ "$display" = offscreen ]; then
      # A 1920 x 1080 screen, as on the virtual display, for the maximised window.
      QT_QPA_PLATFORM="offscreen:configfile=$PWD/bench/player/offscreen-1080p.json" "$bench/$program" || status=1
    else
      xvfb-run -a -s "-screen 0 1920x1080x24" "$bench/$program" || status=1
    fi
  done
done
echo "machine: $(uptime)"
exit $status
