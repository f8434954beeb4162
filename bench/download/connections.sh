#!/usr/bin/env bash
# A video over several connections: the program's download from the click to the saved file against
# aria2c -x16 -s16 -k1M and curl -o FILE, where nginx holds each connection to a speed (limit_rate); against its own
# single connection and curl where nothing holds them; and from a server that resets every connection beyond the
# second, against two connections alone.
#   bash bench/download/connections.sh [ROUNDS]
# BODY_MIB chooses the body size (default 256), RATE nginx's limit per connection (default 16m), RESET_RATE the
# speed of each connection of the resetting server in bytes a second (default 16 MiB), OPEN_RUNS the runs of each side
# where nothing holds the connections (default 5), BENCH_DIR the folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
export BODY_MIB=${BODY_MIB:-256}
source bench/body-folder.sh
source bench/peers.sh
rounds=${1:-1}
rate=${RATE:-16m}
open_runs=${OPEN_RUNS:-5}
reset_rate=${RESET_RATE:-$((16 << 20))}
bench_targets="quillon_download_bench quillon_peer quillon_range_server"
body_copies=3
make_body_folder quillon-connections
bench="$root/build-bench/bench/download/quillon_download_bench"
range_server="$root/build-bench/bench/download/quillon_range_server"
peer_launcher="$root/build-bench/tests/support/quillon_peer"
trap 'stop_peers; rm -rf "$work"' EXIT

mkdir -p "$work/www" "$work/save"
write_body "$work/www/body.flv"
start_peer limited nginx "$work/www" "$rate"
limited_url="http://127.0.0.1:$limited_port/body.flv"
start_peer open nginx "$work/www"
open_url="http://127.0.0.1:$open_port/body.flv"
start_peer resetting run "$range_server" "$work/www/body.flv" --port '{port}' --most 2 --rate "$reset_rate"
reset_url="http://127.0.0.1:$resetting_port/body.flv"
curl --silent --fail --output /dev/null "$open_url"


# ours URL NAME [MAX]: the program's download and save; its figures in $work/NAME.txt, the file checked and removed.
ours() {
    settle
    "$bench" --url "$1" --partial "$work/save/v.flv.part" --target "$work/save/v.flv" \
        --max-connections "${3:-16}" >"$work/$2.txt"
    cmp "$work/www/body.flv" "$work/save/v.flv"
    rm -f "$work/save/v.flv"
}
curl_file() {
    settle
    curl --http1.0 --silent --fail --output "$work/save/curl.flv" --write-out '%{time_total}' "$1"
    cmp "$work/www/body.flv" "$work/save/curl.flv"
    rm -f "$work/save/curl.flv"
}
aria() {
    settle
    seconds aria2c --quiet=true --allow-overwrite=true --file-allocation=none -x16 -s16 -k1M \
        --dir "$work/save" --out aria.flv "$1"
    cmp "$work/www/body.flv" "$work/save/aria.flv"
    rm -f "$work/save/aria.flv"
}
# One line per run: seconds, the most connections, peak memory, the longest gap of the 10 ms timer.
show() {
    printf '    %-34s %8.3f s  %3.0f connections  %6.1f MiB  gap %6.1f ms  load %s\n' "$1" "$(value total_s "$work/$2.txt")" \
        "$(value connections_most "$work/$2.txt")" "$(value peak_rss_mib "$work/$2.txt")" \
        "$(value download_largest_gap_ms "$work/$2.txt")" "$3"
}

for ((round = 1; round <= rounds; round++)); do
    echo "round $round, ${body_mib} MiB"
    echo "  nginx, limit_rate $rate per connection"
    l=$(load)
    ours "$limited_url" limited
    show "ours (MaxConnections 16)" limited "$l"
    l=$(load)
    aria_s=$(aria "$limited_url")
    printf '    %-34s %8.3f s  load %s\n' "aria2c -x16 -s16 -k1M" "$aria_s" "$l"
    l=$(load)
    curl_s=$(curl_file "$limited_url")
    printf '    %-34s %8.3f s  load %s\n' "curl -o FILE" "$curl_s" "$l"
    ours_s=$(value total_s "$work/limited.txt")
    echo "    aria2c / ours $(ratio "$aria_s" "$ours_s") (target 0.9), curl / ours $(ratio "$curl_s" "$ours_s") (target 8)"

    # Here a run may differ from the next by half with the same work (the disk's pace is the host's), so each side
    # runs several times, first and second in turns, and their medians are compared.
    echo "  nginx without a limit, $open_runs runs each in turns"
    several=() single=() curls=()
    for ((run = 1; run <= open_runs; run++)); do
        order=(16 1)
        ((run % 2)) || order=(1 16)
        for most in "${order[@]}"; do
            l=$(load)
            ours "$open_url" "open$most" "$most"
            show "ours (MaxConnections $most)" "open$most" "$l"
        done
        several+=("$(value total_s "$work/open16.txt")")
        single+=("$(value total_s "$work/open1.txt")")
        l=$(load)
        curls+=("$(curl_file "$open_url")")
        printf '    %-34s %8.3f s  load %s\n' "curl -o FILE" "${curls[-1]}" "$l"
    done
    ours_s=$(median "${several[@]}") single_s=$(median "${single[@]}") curl_s=$(median "${curls[@]}")
    printf '    medians: several %.3f s, one %.3f s, curl %.3f s; ' "$ours_s" "$single_s" "$curl_s"
    echo "one / several $(ratio "$single_s" "$ours_s") (target 0.95)," \
        "curl / ours $(ratio "$curl_s" "$ours_s") (target 1.5)"

    echo "  a server that resets every connection beyond the second, $reset_rate bytes/s per connection"
    l=$(load)
    ours "$reset_url" reset
    show "ours (MaxConnections 16)" reset "$l"
    l=$(load)
    ours "$reset_url" two 2
    show "ours (MaxConnections 2)" two "$l"
    echo "    16 / 2 $(ratio "$(value total_s "$work/reset.txt")" "$(value total_s "$work/two.txt")") (target 1.2 at most)"
done
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
