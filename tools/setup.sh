#!/usr/bin/env bash
# Installs what building and testing Tarvo needs on a Debian machine, and only what is missing:
# compilers, CMake, GoogleTest, clang with libFuzzer (the fuzz targets), and the Syzygy
# tablebase probing library. Run by `make build`, `make test` and CI. Without root it names
# the packages to install and fails.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v make >/dev/null || need+=(make)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/tbprobe.h ] || need+=(libfathom-dev)
if [ "${TARVO_NO_FUZZ:-}" != 1 ]; then
    command -v clang++ >/dev/null || need+=(clang)
    if command -v dpkg-query >/dev/null; then
        have_pkg libclang-rt-dev || ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 \
            || need+=(libclang-rt-dev)
    fi
fi
[ ${#need[@]} -eq 0 ] && exit 0

bash "$(dirname "$0")/apt_install.sh" tools/setup.sh "${need[@]}"
