#!/usr/bin/env bash
# Every benchmark of the project, one after the other.
set -euo pipefail
cd "$(dirname "$0")"
bash transfer/run.sh
bash download/run.sh
bash download/connections.sh
bash https/run.sh
bash player/run.sh
bash resolver/run.sh
python3 resolver/engines.py ../build/src/resolver/quillon-resolver
bash resolver/engine-update.sh
bash app/run.sh
bash app/startup.sh
