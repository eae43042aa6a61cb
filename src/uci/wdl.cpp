#include "uci/wdl.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "search/tablebase.h"

namespace tarvo {

namespace {

constexpr WdlPermille CertainWin  = {1000, 0, 0};
constexpr WdlPermille CertainDraw = {0, 1000, 0};
constexpr WdlPermille CertainLoss = {0, 0, 1000};

// Below every tablebase win the search can find (32000 - p at ply p).
constexpr int CertainScore = TablebaseWinScore - MaxPly;

// Material counts this side of 10 or beyond 78 are read as those bounds.
constexpr int FewestMaterial   = 10;
constexpr int MostMaterial     = 78;
constexpr double MaterialScale = 58.0;

} // namespace

WdlPermille wdlFromScore(int score, int material) {
    if (score >= CertainScore)
        return CertainWin;
    if (score <= -CertainScore)
        return CertainLoss;
    const double t    = std::clamp(material, FewestMaterial, MostMaterial) / MaterialScale;
    const double a    = WdlA[0] + WdlA[1] * t + WdlA[2] * t * t;
    const double b    = WdlB[0] + WdlB[1] * t + WdlB[2] * t * t;
    const double win  = 1.0 / (1.0 + std::exp((a - score) / b));
    const double loss = 1.0 / (1.0 + std::exp((a + score) / b));
    int wins          = static_cast<int>(std::lround(1000.0 * win));
    int losses        = static_cast<int>(std::lround(1000.0 * loss));
    // Only curves that overlap could ask for more than certainty; the larger share gives way.
    if (wins + losses > 1000) {
        if (wins >= losses)
            wins = 1000 - losses;
        else
            losses = 1000 - wins;
    }
    return {wins, 1000 - wins - losses, losses};
}

WdlPermille wdlOfRootScore(const SearchControl& control, int score) {
    if (control.rootDrawn && std::abs(score) < MateThreshold)
        return CertainDraw;
    if (control.rootInTablebase && std::abs(score) < MateThreshold) {
        const int verdict = control.rootTablebaseScore;
        return verdict > 0 ? CertainWin : verdict < 0 ? CertainLoss : CertainDraw;
    }
    return wdlFromScore(score, control.rootMaterial);
}

int wdlMaterial(const Board& board) {
    constexpr int Worth[] = {0, 1, 3, 3, 5, 9, 0}; // by piece type, king none
    int material          = 0;
    for (int piece = Pawn; piece <= Queen; ++piece)
        material += Worth[piece] * std::popcount(board.pieces[piece]);
    return material;
}

} // namespace tarvo
