#!/usr/bin/env bash
# Load test of quillon-resolver: wrk sends the program's resolution request over 64 connections for 30 s to a
# resolver on 127.0.0.1, which fetches a page from a local nginx each time. Prints requests per second, p99
# latency, failures and the resolver's resident memory before and after.
#   run.sh [RESOLVER_PROGRAM] [SECONDS] [CONNECTIONS]
# QUILLON_PEER names the peer launcher (default build/tests/support/quillon_peer).
set -euo pipefail
cd "$(dirname "$0")/../.."
program=${1:-build/src/resolver/quillon-resolver}
seconds=${2:-30}
connections=${3:-64}

source bench/peers.sh
peer_launcher=${QUILLON_PEER:-build/tests/support/quillon_peer}
work=$(mktemp -d)
trap 'stop_peers; rm -rf "$work"' EXIT

resident_kib() {
  awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"
}

# A page of the size and shape of a real video page: 60 KB of markup, Open Graph, a player, links.
mkdir -p "$work/www"
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

start_peer web nginx "$work/www"
# wrk stands for many users from one address: it gets everyone's shares.
start_peer resolver run "$program" --port '{port}' --connections-per-address 400 --resolutions-per-address 64

page="http://127.0.0.1:$web_port/watch.html"
# The program's own encoding: letters and digits as they are, everything else as %XX.
export PAGE_URL_ENCODED=$(python3 -c 'import sys; print("".join(c if c.isascii() and c.isalnum() else "%%%02X" % ord(c) for c in sys.argv[1]))' "$page")

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "resolver resident memory before: $(resident_kib "$resolver_pid") KiB"
wrk --threads 2 --connections "$connections" --duration "${seconds}s" --timeout 10s --latency \
    --script bench/resolver/resolve.lua "http://127.0.0.1:$resolver_port/xurl/"
echo "resolver resident memory after: $(resident_kib "$resolver_pid") KiB"
echo "machine after: load average $(cut -d' ' -f1-3 /proc/loadavg)"
