#!/usr/bin/env bash
# Fails when a layer includes a header of a layer above it: board <- eval <- search <- uci.
set -u
src=${1:?source folder}
status=0
check() {
    local folder=$1; shift
    for above in "$@"; do
        hits=$(grep -rn "#include \"$above/" "$src/$folder" 2>/dev/null)
        if [ -n "$hits" ]; then
            echo "$folder/ includes $above/:"; echo "$hits"; status=1
        fi
    done
}
check board eval search uci
check eval search uci
check search uci
# Only the search layer's tablebase module sees the probing library.
hits=$(grep -rln "#include <tbprobe.h>" "$src" | grep -v "/search/tablebase.cpp$")
if [ -n "$hits" ]; then
    echo "tbprobe.h included outside search/tablebase.cpp:"; echo "$hits"; status=1
fi
echo "1 passed, $status failed" | sed "s/^1 passed, 1 failed/0 passed, 1 failed/"
exit $status
