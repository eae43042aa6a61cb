#!/usr/bin/env bash
# Installs what the page needs on a Debian machine, and only what is missing: Node.js 18 or later
# with npm, the page's packages exactly as web/package-lock.json pins them (npm ci), and with
# --browser Debian's chromium for the browser tests. Run by `make play`, `make test` and CI.
# Without root it names the Debian packages to install and fails.
set -euo pipefail
cd "$(dirname "$0")"

need=()
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
[ "${1:-}" = --browser ] && ! [ -x /usr/bin/chromium ] && need+=(chromium)
[ ${#need[@]} -eq 0 ] || bash ../tools/apt_install.sh web/setup.sh "${need[@]}"

major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$major" -lt 18 ]; then
    echo "web/setup.sh: the page needs Node.js 18 or later; this machine has $(node --version)" >&2
    exit 1
fi

# npm writes node_modules/.package-lock.json at each install: newer than the lockfile, nothing to do.
if ! [ node_modules/.package-lock.json -nt package-lock.json ]; then
    echo "web/setup.sh: installing the page's packages (npm ci)" >&2
    npm ci --no-audit --no-fund --loglevel=error
fi
