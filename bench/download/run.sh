#!/usr/bin/env bash
# Builds the download benchmark, serves a 4 GiB body from nginx on 127.0.0.1, and holds the program's download and
# save (which ends with the file on disk) against curl -o FILE followed by fdatasync of curl's file, and against
# curl -o FILE alone; how long a stop half-way takes the window's thread; and its save across file systems against
# cp.
#   bash bench/download/run.sh [ROUNDS]
# BODY_MIB chooses the body size (default 4096), BENCH_DIR the disk folder (default /tmp), SHM_DIR the tmpfs
# folder of the partial file for the save across file systems (default /dev/shm). ACROSS=0 leaves out the save
# across file systems (for a BENCH_DIR on tmpfs, where it would not be across).
set -euo pipefail
cd "$(dirname "$0")/../.."
export BODY_MIB=${BODY_MIB:-4096}
source bench/body-folder.sh
source bench/peers.sh
rounds=${1:-3}
bench_targets="quillon_download_bench quillon_peer"
# The served body, and one copy at a time.
body_copies=2
make_body_folder quillon-download
bench="$root/build-bench/bench/download/quillon_download_bench"
peer_launcher="$root/build-bench/tests/support/quillon_peer"
shm=$(mktemp -d "${SHM_DIR:-/dev/shm}/quillon-download.XXXXXX")
trap 'stop_peers; rm -rf "$work" "$shm"' EXIT

mkdir -p "$work/www" "$work/save"
write_body "$work/www/body.flv"
start_peer web nginx "$work/www"
url="http://127.0.0.1:$web_port/body.flv"
# The first read brings the body into the page cache, so every timed run reads it from memory.
curl --silent --fail --output /dev/null "$url"


# c_sync: the fdatasync of curl's file after it; save_s: our save, its sync before the rename included; r_sync:
# (curl + its fdatasync) / ours, like for like; r_curl: curl alone / ours; r_dl: curl alone / our download
# without the save, neither synced; stop_ms: a download stopped half-way, the stop and the deletion of the partial
# file on the window's thread.
printf '%-5s %-16s %8s %8s %8s %8s %6s %6s %6s %8s %8s %8s %8s %8s %6s %6s %9s %9s\n' round load curl_s c_sync \
    ours_s save_s r_sync r_curl r_dl rss_mib stop_ms cp_s cp_sync move_s r_cp r_cpsync gap_dl_ms gap_mv_ms
for ((round = 1; round <= rounds; round++)); do
    load=$(cut -d' ' -f1-3 /proc/loadavg | tr ' ' '/')
    settle
    curl_s=$(curl --http1.0 --silent --fail --output "$work/save/curl.flv" --write-out '%{time_total}' "$url")
    curl_sync_s=$(seconds sync --data "$work/save/curl.flv")
    rm -f "$work/save/curl.flv"
    settle
    "$bench" --url "$url" --partial "$work/save/v.flv.part" --target "$work/save/v.flv" >"$work/ours.txt"
    cmp "$work/www/body.flv" "$work/save/v.flv"
    rm -f "$work/save/v.flv"
    settle
    "$bench" --url "$url" --partial "$work/save/stop.part" --stop-at-mib $((body_mib / 2)) >"$work/stop.txt"

    ours_s=$(value total_s "$work/ours.txt")
    curl_peer_s=$(echo "$curl_s + $curl_sync_s" | bc -l)
    ours_figures=("$curl_s" "$curl_sync_s" "$ours_s" "$(value save_s "$work/ours.txt")"
        "$(ratio "$curl_peer_s" "$ours_s")" "$(ratio "$curl_s" "$ours_s")"
        "$(ratio "$curl_s" "$(value download_s "$work/ours.txt")")" "$(value peak_rss_mib "$work/ours.txt")"
        "$(value stop_ms "$work/stop.txt")")
    if [[ ${ACROSS:-1} == 0 ]]; then
        printf '%-5s %-16s %8.3f %8.3f %8.3f %8.3f %6s %6s %6s %8.1f %8.1f %9.1f\n' "$round" "$load" \
            "${ours_figures[@]}" "$(value download_largest_gap_ms "$work/ours.txt")"
        sed 's/^/    /' "$work/ours.txt" | tr '\n' ' '
        echo
        continue
    fi
    # Across file systems: the partial file on tmpfs, the target on disk.
    cp "$work/www/body.flv" "$shm/v.flv.part"
    settle
    cp_s=$(seconds cp "$shm/v.flv.part" "$work/save/cp.flv")
    rm -f "$work/save/cp.flv"
    settle
    cp_sync_s=$(seconds bash -c "cp '$shm/v.flv.part' '$work/save/cp.flv' && sync '$work/save/cp.flv'")
    rm -f "$work/save/cp.flv"
    settle
    "$bench" --move "$shm/v.flv.part" --target "$work/save/moved.flv" >"$work/move.txt"
    cmp "$work/www/body.flv" "$work/save/moved.flv"
    rm -f "$work/save/moved.flv"

    move_s=$(value save_s "$work/move.txt")
    printf '%-5s %-16s %8.3f %8.3f %8.3f %8.3f %6s %6s %6s %8.1f %8.1f %8.3f %8.3f %8.3f %6s %6s %9.1f %9.1f\n' "$round" \
        "$load" "${ours_figures[@]}" "$cp_s" "$cp_sync_s" "$move_s" "$(ratio "$cp_s" "$move_s")" \
        "$(ratio "$cp_sync_s" "$move_s")" \
        "$(value download_largest_gap_ms "$work/ours.txt")" "$(value save_largest_gap_ms "$work/move.txt")"
    sed 's/^/    /' "$work/ours.txt" | tr '\n' ' '
    echo
    sed 's/^/    /' "$work/move.txt" | tr '\n' ' '
    echo
done
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
