# Sourced by the download benchmarks: builds them and makes a work folder for a random body.
#   make_body_folder NAME   sets root, body_mib and work (a new folder under BENCH_DIR, default /tmp), after
#                           checking there is room for the served body and two copies of it
# and measures: settle, seconds COMMAND..., value KEY FILE (a figure of a benchmark's "key value" lines),
# ratio A B, load (the three load averages).
# BODY_MIB chooses the body size (default 1024). With bench_targets set, only those targets are built.
make_body_folder() {
    root=$(pwd)
    body_mib=${BODY_MIB:-1024}
    if [[ -n ${bench_targets:-} ]]; then
        cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_BENCH=ON \
            -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
        # shellcheck disable=SC2086 # a list of targets
        cmake --build build-bench --target $bench_targets
    else
        bash scripts/build.sh build-bench -DQUILLON_BENCH=ON
    fi

    local parent=${BENCH_DIR:-/tmp}
    # The served body, curl's copy and DC's copy (with its temporary file) exist at the same time at most.
    local need_kib=$((body_mib * 1024 * ${body_copies:-3} + 512 * 1024))
    local free_kib
    free_kib=$(df --output=avail -k "$parent" | tail -1)
    if ((free_kib < need_kib)); then
        echo "Not enough room in $parent: $((free_kib / 1024)) MiB free, $((need_kib / 1024)) MiB needed" >&2
        exit 1
    fi
    work=$(mktemp -d "$parent/$1.XXXXXX")
}

# write_body FILE: body_mib MiB of random bytes.
write_body() {
    echo "Writing a ${body_mib} MiB body to $(dirname "$1")"
    head -c $((body_mib * 1024 * 1024)) /dev/urandom >"$1"
}

# Every step starts from the same state: nothing dirty waiting for the disk, memory handed back.
settle() {
    sync
    sleep 3
}
value() { awk -v k="$1" '$1 == k {print $2}' "$2"; }
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
median() {
    printf '%s\n' "$@" | sort -g |
        awk '{v[NR] = $1} END {print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
load() { cut -d' ' -f1-3 /proc/loadavg | tr ' ' '/'; }
