#!/usr/bin/env bash
# Checks the house style of the C++ sources: the layout .clang-format describes, and one naming style for data
# members. Private and protected data members are lowerCamelCase (no "m_" prefix, no trailing "_"), except the
# names the program has always given its controls and its transfer fields (below); public fields of plain structs
# are named after the values they hold (settings keys, program-wide values) and are left as they are. Members are
# found by universal-ctags, which reads declarations without compiling anything.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
                                   'fuzz/*.cpp' 'fuzz/*.h')
clang-format --dry-run --Werror "${sources[@]}"

given='BG|S|Box1|List1|ZagButton|ProButton|aButton|Qbutton|DownBox|URLtext|DownButton|StopButton|LabelSize|LabelSpeed'
given+='|PercLabel|Picture1|ImagPr|BlankPlayer|PlayerBackButton|PlayerOpenFileButton|PlayerClear|ATimer'
given+='|(Label|Check|Text|Line|XpB)[0-9]+|LData|ContentLength|StoredURL|URLmode|WS'
offenders=$(printf '%s\n' "${sources[@]}" |
    ctags -x --_xformat='%{access} %N %F:%n' --language-force=C++ --kinds-C++=m --fields=+a --extras=-q -L - |
    awk -v given="^(${given})\$" '($1 == "private" || $1 == "protected") && $2 !~ /^[a-z][A-Za-z0-9]*$/ && $2 !~ given')
if [ -n "$offenders" ]; then
    echo "$offenders" >&2
    echo "check-style.sh: data members are named in lowerCamelCase, without \"m_\" or a trailing \"_\"" >&2
    exit 1
fi
if grep -nE '\bm_[A-Za-z0-9]+|\b[a-z][A-Za-z0-9]*_\b' "${sources[@]}"; then
    echo "check-style.sh: no name has an \"m_\" prefix or a trailing \"_\"" >&2
    exit 1
fi
