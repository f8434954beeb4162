#!/usr/bin/env bash
# The service's yt-dlp updates, timed: releases made as the tests make them (from Debian's yt-dlp, signed with a
# key made for the run), served by nginx on 127.0.0.1, and a service that checks them (engine_update.py).
#   engine-update.sh [RESOLVER_PROGRAM] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
program=${1:-build/src/resolver/quillon-resolver}
rounds=${2:-3}

source bench/peers.sh
peer_launcher=${QUILLON_PEER:-build/tests/support/quillon_peer}
work=$(mktemp -d)
trap 'stop_peers; rm -rf "$work"' EXIT

# The Python of Debian's yt-dlp imports it.
python=$(head -1 "$(command -v yt-dlp)" | sed 's/^#! *//')
$python tests/resolver/make_engine_releases.py "$work/www/releases"
printf '<!DOCTYPE html><html><body><div id="player"></div><script>jwplayer("player").setup({file: "clip.mp4"});</script></body></html>' \
    > "$work/www/player.html"
start_peer web nginx "$work/www"
python3 bench/resolver/engine_update.py "$program" "http://127.0.0.1:$web_port/releases/" \
    "$work/www/releases/key.asc" "http://127.0.0.1:$web_port/player.html" "$rounds"
