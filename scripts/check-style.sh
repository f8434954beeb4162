#!/usr/bin/env bash
# Checks the house style of the C++ sources: the layout .clang-format describes, and one naming style for
# data members (lowerCamelCase, no "m_" prefix and no trailing "_").
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
                                   'fuzz/*.cpp' 'fuzz/*.h')
clang-format --dry-run --Werror "${sources[@]}"
if grep -nE '\bm_[A-Za-z0-9]+|\b[a-z][A-Za-z0-9]*_\b' "${sources[@]}"; then
    echo "check-style.sh: members are named in lowerCamelCase, without \"m_\" or a trailing \"_\"" >&2
    exit 1
fi
