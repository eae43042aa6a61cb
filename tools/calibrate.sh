#!/bin/bash
# Calibrates UCI_Elo: plays the limited engine against Stockfish's own limited levels (the
# scale the settings mean) and prints, for each setting, the games, the score and the measured
# rating with its 95% error.
#
#   tools/calibrate.sh [ENGINE]
#
# ENGINE defaults to a plain release build in build-dev/ (built if needed). Settings below
# Stockfish's lowest level (1350) are played against the engine's own 1350 setting, and their
# rating is that setting's measured rating plus the difference: a chain tied to the scale.
#
# On a loaded machine Stockfish, which thinks by the clock, overruns fast controls by tens of
# milliseconds and forfeits: it gets a Move Overhead of 100 ms, and the runner forgives an
# overrun of up to a second. The limited engine counts nodes, so load does not change its play.
#
# Environment:
#   POINTS     "setting:opponent:tc ...", opponent "sf" (the Stockfish level of the same number)
#              or another setting measured earlier in the list at the same time control
#   GAMES      games per point (default 100; each opening is played with both colours)
#   FASTCHESS  the tournament runner (default ../shared/tools/fastchess beside the repository)
#   OPENINGS   EPD openings (default ../shared/openings.epd)
#   CONCURRENCY games at a time (default 2)
#   OUT        folder for the logs and PGN files (default calibration/ in the build folder)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
POINTS=${POINTS:-"1350:sf:5+0.05 1000:1350:5+0.05 1500:sf:5+0.05 1700:sf:5+0.05 1850:sf:5+0.05 1500:sf:10+0.1"}
GAMES=${GAMES:-100}
FASTCHESS=${FASTCHESS:-$root/../shared/tools/fastchess}
OPENINGS=${OPENINGS:-$root/../shared/openings.epd}
CONCURRENCY=${CONCURRENCY:-2}
started=$(date +%s)

stockfish=$(command -v stockfish || true)
[ -z "$stockfish" ] && [ -x /usr/games/stockfish ] && stockfish=/usr/games/stockfish
if [ -z "$stockfish" ]; then
    if [ "$(id -u)" = 0 ]; then
        apt-get install -y stockfish >/dev/null && stockfish=/usr/games/stockfish
    else
        echo "calibrate: needs Stockfish, the Debian package 'stockfish' (run as root to install it)" >&2
        exit 1
    fi
fi
for file in "$FASTCHESS" "$OPENINGS"; do
    [ -e "$file" ] || { echo "calibrate: $file not found" >&2; exit 1; }
done
FASTCHESS=$(realpath "$FASTCHESS") OPENINGS=$(realpath "$OPENINGS")

if [ $# -ge 1 ]; then
    engine=$(realpath "$1")
else
    cmake -S "$root" -B "$root/build-dev" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$root/build-dev" --target tarvo -j2 >/dev/null
    engine=$root/build-dev/tarvo
fi
OUT=${OUT:-$(dirname "$engine")/calibration}
mkdir -p "$OUT"
OUT=$(realpath "$OUT")
cd "$OUT" # the runner leaves its config.json in the working folder

# Rating difference and its 95% error from wins, losses and draws.
rate() {
    awk -v w="$1" -v l="$2" -v d="$3" 'function elo(s) { return -400 * log(1 / s - 1) / log(10) }
    BEGIN {
        n = w + l + d; s = (w + d / 2) / n
        if (s >= 1) s = (n - 0.5) / n
        if (s <= 0) s = 0.5 / n
        v = (w * (1 - s) ^ 2 + l * s ^ 2 + d * (0.5 - s) ^ 2) / n
        e = 1.96 * sqrt(v / n); hi = s + e; lo = s - e
        if (hi >= 1) hi = 1 - 0.5 / n
        if (lo <= 0) lo = 0.5 / n
        printf "%.0f %.0f\n", elo(s), (elo(hi) - elo(lo)) / 2
    }'
}

declare -A measured spread
printf "%-8s %-10s %-10s %6s %8s %16s\n" setting tc opponent games score "measured Elo" | tee "$OUT/table.txt"
for point in $POINTS; do
    IFS=: read -r setting opponent tc <<<"$point"
    if [ "$opponent" = sf ]; then
        second=(cmd="$stockfish" name="SF-$setting" option.UCI_LimitStrength=true
                option.UCI_Elo="$setting" "option.Move Overhead=100")
        anchor=$setting anchorError=0 label="SF $setting"
    else
        [ -n "${measured[$opponent@$tc]:-}" ] || { echo "calibrate: $opponent@$tc not measured yet" >&2; exit 1; }
        second=(cmd="$engine" name="Tarvo-$opponent" option.UCI_LimitStrength=true option.UCI_Elo="$opponent")
        anchor=${measured[$opponent@$tc]} anchorError=${spread[$opponent@$tc]} label="Tarvo $opponent"
    fi
    log="$OUT/$setting-vs-${opponent}-$tc.log"
    "$FASTCHESS" -engine cmd="$engine" name="Tarvo-$setting" option.UCI_LimitStrength=true \
        option.UCI_Elo="$setting" -engine "${second[@]}" \
        -each proto=uci tc="$tc" timemargin=1000 option.Hash=16 option.Threads=1 \
        -openings file="$OPENINGS" format=epd order=random -srand "$setting" \
        -rounds $((GAMES / 2)) -repeat -concurrency "$CONCURRENCY" -recover \
        -pgnout file="$OUT/$setting-vs-${opponent}-$tc.pgn" >"$log" 2>&1
    read -r games wins losses draws < <(grep -E '^Games:' "$log" | tail -1 |
        sed -E 's/Games: ([0-9]+), Wins: ([0-9]+), Losses: ([0-9]+), Draws: ([0-9]+).*/\1 \2 \3 \4/')
    read -r difference error < <(rate "$wins" "$losses" "$draws")
    error=$(awk -v a="$error" -v b="$anchorError" 'BEGIN { printf "%.0f", sqrt(a * a + b * b) }')
    measured[$setting@$tc]=$((anchor + difference))
    spread[$setting@$tc]=$error
    score=$(awk -v w="$wins" -v d="$draws" -v n="$games" 'BEGIN { printf "%.1f%%", 100 * (w + d / 2) / n }')
    printf "%-8s %-10s %-10s %6s %8s %10s +- %s\n" "$setting" "$tc" "$label" "$games" "$score" \
        "${measured[$setting@$tc]}" "$error" | tee -a "$OUT/table.txt"
done
elapsed=$(($(date +%s) - started))
printf "took %dh%02dm (%s)\n" $((elapsed / 3600)) $((elapsed % 3600 / 60)) "$OUT" | tee -a "$OUT/table.txt"
