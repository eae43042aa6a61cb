#!/usr/bin/env bash
# The optimised build that `make build` makes in BUILD_DIR: link-time optimisation, and where
# the compiler supports it a profile-guided build trained on `tarvo bench`. The profile comes
# from an instrumented engine in BUILD_DIR/profile-gen; it is taken again only when that engine
# was rebuilt. Any failure on the profile's way falls back to the plain optimised build.
# The engine targets this machine's instruction set unless PORTABLE=1 asks for one that runs on
# any x86-64 processor with a bit-count instruction.
# Usage: [PORTABLE=1] tools/optimised_build.sh BUILD_DIR JOBS
set -euo pipefail
build=$1
jobs=$2
native=ON
[ "${PORTABLE:-0}" = 1 ] && native=OFF
gen=$build/profile-gen
profile=$(realpath -m "$build/profile")
compiler=${CXX:-c++}

supportsProfiles() {
    local probe
    probe=$(mktemp -d)
    echo 'int main() { return 0; }' >"$probe/p.cpp"
    "$compiler" -O2 -fprofile-generate -fprofile-update=single -fprofile-dir="$probe" \
        -fprofile-prefix-path="$probe" "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1 &&
        "$compiler" -O2 -fprofile-use -fprofile-partial-training -Wno-missing-profile \
            -fprofile-dir="$probe" -fprofile-prefix-path="$probe" -c "$probe/p.cpp" \
            -o "$probe/p.o" >/dev/null 2>&1
    local status=$?
    rm -rf "$probe"
    return $status
}

train() {
    cmake -S . -B "$gen" -DCMAKE_BUILD_TYPE=Release -DTARVO_LTO=ON -DTARVO_PGO=GENERATE \
        -DTARVO_NATIVE=$native -DTARVO_PROFILE_DIR="$profile" >/dev/null &&
        cmake --build "$gen" -j "$jobs" --target tarvo || return 1
    if [ ! -f "$profile/trained" ] || [ "$gen/tarvo" -nt "$profile/trained" ]; then
        rm -rf "$profile"
        mkdir -p "$profile"
        echo "Training the profile-guided build on the bench" >&2
        "$gen/tarvo" bench >/dev/null || return 1
        touch "$profile/trained"
    fi
}

pgo=OFF
if supportsProfiles && train; then
    pgo=USE
else
    echo "Profile-guided build unavailable: building without it" >&2
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVO_LTO=ON -DTARVO_PGO=$pgo \
    -DTARVO_NATIVE=$native -DTARVO_PROFILE_DIR="$profile" >/dev/null
cmake --build "$build" -j "$jobs"
