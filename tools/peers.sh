#!/usr/bin/env bash
# Installs the peer engines that the measuring scripts play against (Debian's stockfish, toga2
# and glaurung, in /usr/games) when they are missing. Only the measuring scripts need them; no
# build or test of the engine does. Without root it names the missing packages and fails.
set -euo pipefail
need=()
for engine in stockfish toga2 glaurung; do
    [ -x "/usr/games/$engine" ] || need+=("$engine")
done
[ ${#need[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    echo "tools/peers.sh: this machine lacks: ${need[*]} (apt-get install ${need[*]})" >&2
    exit 1
fi
apt-get update >/dev/null
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
