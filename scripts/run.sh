#!/usr/bin/env bash
# Installs what Quillon needs, builds it and starts it, with the link-resolution service beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
# The service the program asks by default (localhost:8397), for as long as the program runs. If one already
# listens there, this one exits at once and the program uses the running one.
build/src/resolver/quillon-resolver --listen 127.0.0.1 --port 8397 &
resolver_pid=$!
trap 'kill "$resolver_pid" 2>/dev/null || true' EXIT
build/src/app/quillon "$@"
