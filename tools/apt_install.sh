#!/usr/bin/env bash
# Installs the named Debian packages for a set-up script: as root through apt-get; otherwise it
# names them and fails, so the person can install them and run the command again.
# Usage: tools/apt_install.sh CALLER PACKAGE...
set -euo pipefail
caller=$1
shift
if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    echo "$caller: this machine lacks: $*" >&2
    echo "Install them (as root: apt-get install $*) and run the command again." >&2
    exit 1
fi
echo "$caller: installing $*" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "$@" >/dev/null
