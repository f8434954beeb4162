# Sourced by the benchmarks that need real peers: starts them with the tests' launcher quillon_peer
# (tests/support), which waits until a peer listens and stops it when told to or when the script ends.
#   peer_launcher=BUILD/tests/support/quillon_peer    set before starting any peer
#   start_peer NAME nginx FOLDER                      nginx serving FOLDER
#   start_peer NAME run PROGRAM [ARGUMENT...]         PROGRAM, "{port}" in its arguments standing for the port
#       each sets NAME_port and NAME_pid (the peer's own process) once the peer accepts connections
#   stop_peers                                        stops them all and waits until they are gone
peer_launchers=()

start_peer() {
    local name=$1 announcement port pid
    shift
    announcement=$(mktemp -u)
    mkfifo "$announcement"
    "$peer_launcher" "$@" >"$announcement" &
    peer_launchers+=($!)
    read -r port pid <"$announcement" || true
    rm -f "$announcement"
    if [[ -z ${port:-} ]]; then
        echo "the peer did not start: $*" >&2
        return 1
    fi
    printf -v "${name}_port" %s "$port"
    printf -v "${name}_pid" %s "$pid"
}

stop_peers() {
    local launcher
    for launcher in "${peer_launchers[@]}"; do
        kill "$launcher" 2>/dev/null || true
        wait "$launcher" 2>/dev/null || true
    done
    peer_launchers=()
}
