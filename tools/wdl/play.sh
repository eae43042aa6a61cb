#!/usr/bin/env bash
# Plays the games the win/draw/loss model is fitted on: Tarvo against itself and against two
# peers, every move searched to a fixed node count (so the games are the same under any load),
# from the shared openings with both colours. The PGN keeps each move's score in its comment.
#
#   tools/wdl/play.sh ENGINE OUTDIR [NODES]
#
# Tarvo searches NODES (default 20000) nodes a move; the peers, which take no node limit,
# play at 1 s + 0.01 s a game. 650 opening pairs of self-play and 200 against each peer:
# 2,100 games. CONCURRENCY (default 2) games run at once.
set -euo pipefail
engine=$(realpath "$1")
out=$2
nodes=${3:-20000}
here=$(cd "$(dirname "$0")" && pwd)
shared=${SHARED:-$here/../../../shared}
bash "$here/../peers.sh"
mkdir -p "$out"
play() { # name rounds seed opponent-settings...
    local name=$1 rounds=$2 seed=$3
    shift 3
    "$shared/tools/fastchess" \
        -engine cmd="$engine" name=Tarvo nodes="$nodes" tc=600+6 option.Threads=1 \
        -engine name="$name" "$@" \
        -each proto=uci option.Hash=16 \
        -openings file="$shared/openings.epd" format=epd order=random -srand "$seed" \
        -rounds "$rounds" -repeat -concurrency "${CONCURRENCY:-2}" -recover \
        -pgnout file="$out/$name.pgn" notation=uci >"$out/$name.log" 2>&1
}
play Tarvo2 650 11 cmd="$engine" nodes="$nodes" tc=600+6 option.Threads=1
play Toga 200 12 cmd=/usr/games/toga2 tc=1+0.01
play Glaurung 200 13 cmd=/usr/games/glaurung tc=1+0.01
