#!/usr/bin/env bash
# Times `go perft` of the engine against a peer engine's on four standard positions (start
# depth 6, kiwipete 5, position 3 depth 7, position 4 depth 6), one process per position with
# the commands piped in, the two engines alternating which goes first. Prints each round's
# totals and ratio (peer time / engine time, above 1 when the engine is faster), then the
# medians, and fails if the node counts of the two engines differ.
# Usage: tools/perft_speed.sh [ENGINE] [ROUNDS] [PEER]
# (defaults: build/tarvo, 3 rounds, /usr/games/stockfish; the peer must speak `go perft N`)
set -euo pipefail
engine=${1:-build/tarvo}
rounds=${2:-3}
peer=${3:-/usr/games/stockfish}

positions=(
    "startpos|6"
    "fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1|5"
    "fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1|7"
    "fen r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1|6"
)

# Runs one engine on one position; prints "seconds nodes".
run() {
    local binary=$1 position=${2%|*} depth=${2##*|} start end nodes
    start=$(date +%s.%N)
    nodes=$(printf 'position %s\ngo perft %s\nquit\n' "$position" "$depth" | "$binary" |
        sed -n 's/^Nodes searched: //p')
    end=$(date +%s.%N)
    echo "$(echo "$end - $start" | bc) $nodes"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

engineTotals=() peerTotals=() ratios=()
for ((round = 1; round <= rounds; ++round)); do
    engineTotal=0 peerTotal=0 line=""
    for position in "${positions[@]}"; do
        if ((round % 2)); then
            read -r engineTime engineNodes < <(run "$engine" "$position")
            read -r peerTime peerNodes < <(run "$peer" "$position")
        else
            read -r peerTime peerNodes < <(run "$peer" "$position")
            read -r engineTime engineNodes < <(run "$engine" "$position")
        fi
        if [ "$engineNodes" != "$peerNodes" ]; then
            echo "node counts differ on '${position%|*}': $engineNodes vs $peerNodes" >&2
            exit 1
        fi
        engineTotal=$(echo "$engineTotal + $engineTime" | bc)
        peerTotal=$(echo "$peerTotal + $peerTime" | bc)
        line+=$(printf ' %6.3f/%6.3f' "$engineTime" "$peerTime")
    done
    ratio=$(echo "scale=3; $peerTotal / $engineTotal" | bc)
    printf 'round %d: engine %6.3f s, peer %6.3f s, ratio %5.3f  (per position engine/peer:%s)\n' \
        "$round" "$engineTotal" "$peerTotal" "$ratio" "$line"
    engineTotals+=("$engineTotal") peerTotals+=("$peerTotal") ratios+=("$ratio")
done
printf 'median: engine %6.3f s, peer %6.3f s, ratio %5.3f (min %s, max %s)\n' \
    "$(printf '%s\n' "${engineTotals[@]}" | median)" "$(printf '%s\n' "${peerTotals[@]}" | median)" \
    "$(printf '%s\n' "${ratios[@]}" | median)" "$(printf '%s\n' "${ratios[@]}" | sort -g | head -1)" \
    "$(printf '%s\n' "${ratios[@]}" | sort -g | tail -1)"
