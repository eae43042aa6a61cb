#pragma once
// Helper threads of a parallel search. With n threads, n - 1 helpers search the same root as
// the main thread, each on its own SearchState and Board (ply records, killers, history tables,
// node counter), and the threads share nothing but the transposition table's entries: what one
// thread finds, the others meet as hash moves and cutoffs. Only the main thread acts on input,
// checks the clock and the limits, writes output and chooses the move; helpers write nothing
// anywhere but their own records and the table. The main thread stops them through one flag
// that every helper node reads, and waits until all of them are parked before it reports.
// While a command waits for the main thread, the helpers step aside (see `attention`).
// Helpers take different iterations (some depths are left out by some helpers), so that they
// spread over the tree instead of repeating the main thread's work a little later.
// With one line wanted (MultiPV 1, full strength), the helpers leave the lines of the
// iterations they complete. A main thread that meets a helper's line as deep as the iteration it
// is searching leaves that iteration and takes the line in its place, so that it always works
// on the deepest iteration no thread has completed; the first thread to complete the search's
// depth limit ends the search, and when the search ends otherwise, a helper's line deeper than
// the main thread's last complete iteration is the answer.
// The threads are made when the thread count changes, never for a search, and wait on a
// condition variable between searches.

#include "board/types.h"
#include "search/state.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvo {

inline constexpr int MaxThreads = 256;

// Counters of a whole search, summed over its threads.
struct SearchCounters {
    std::uint64_t nodes     = 0;
    std::uint64_t tableUsed = 0; // table entries stamped in this search, at most entryCount
    std::uint64_t tbHits    = 0;
};

// One helper. The main thread writes board, limits and state only while the helper is parked;
// while it searches, the helper alone writes them and publishes its counters below, which the
// main thread may read at any time.
struct HelperThread {
    std::thread thread;
    std::unique_ptr<SearchState> state;
    Board board{};
    SearchLimits limits;
    alignas(64) std::atomic<std::uint64_t> nodes{0};
    std::atomic<std::uint64_t> tableUsed{0};
    std::atomic<std::uint64_t> tbHits{0};
};

struct SearchThreads {
    std::vector<std::unique_ptr<HelperThread>> helpers; // fixed while the threads live
    std::mutex mutex;                                   // guards searchNumber, running and quit
    std::condition_variable wake;   // helpers wait here for the next search or the end
    std::condition_variable parked; // the main thread waits here for the last helper to finish
    std::uint32_t searchNumber = 0; // counts the searches started
    int running                = 0; // helpers still searching
    bool quit                  = false;
    std::atomic<bool> stop{false}; // set by the main thread when its search ends, or by any
                                   // thread that finds the search's time limit passed
    // The main thread's clock and the milliseconds after its start tick at which the search
    // must end (INT32_MAX for none), kept current by the main thread: a helper that runs
    // while the main thread waits for a processor still ends the search in time.
    std::uint32_t (*readClock)() = nullptr; // written only while the helpers are parked
    std::uint32_t startTick      = 0;       // likewise
    std::atomic<std::int32_t> hardLimitMs{INT32_MAX};
    // Set by the input's reader thread when a command waits for the main thread (stop,
    // ponderhit, the end of input), cleared by the main thread when it has taken it. Meanwhile
    // the helpers wait on `resumed` (under `mutex`), so the main thread gets a processor at once
    // however many helpers there are.
    std::atomic<bool> attention{false};
    std::condition_variable resumed;
    // Lines the helpers leave (adopt: MultiPV 1 at full strength). adopt and lastDepth (the
    // depth limit, MaxPly - 1 for none) are written by the main thread while the helpers are
    // parked; the deepest complete helper line is written under mutex, and lineDepth (0: none
    // yet) may also be read without it.
    bool adopt             = false;
    std::int32_t lastDepth = MaxPly - 1;
    std::atomic<std::int32_t> lineDepth{0};
    std::int32_t lineScore   = 0;
    std::uint32_t lineLength = 0;
    std::array<Move, MaxPly> line{};
    // The main thread's own: its node poll while it may take the helpers' lines, and, when it
    // stopped an iteration for one, the run state it had then.
    void (*mainNodePoll)(SearchState&) = nullptr;
    bool mainStoppedForLine            = false;
    SearchRunState mainRunState        = Stopped;
};

// A helper's complete root line.
struct HelperLine {
    std::int32_t depth    = 0;
    std::int32_t score    = 0;
    std::uint32_t length  = 0;
    std::array<Move, MaxPly> moves{};
};

// Makes `main` search on `count` threads (brought into 1..MaxThreads) unless it already runs
// that many: ends the helpers it has and starts count - 1 new ones, parked; with 1 there are
// none and main.threads is nullptr. Called between searches only. A thread the system refuses
// leaves the search with fewer. Returns the number of threads running, the main one included
// (also kept in main.options.threads).
int SetSearchThreads(SearchState& main, int count);

// Wakes the helpers of the main thread's state on copies of `board` and its root list, with the
// main thread's table generation and options, and no depth limit of their own. Does nothing for
// a state without helpers or for a helper's own state.
void StartHelpers(SearchState& main, const Board& board, const MoveList& rootMoves);

// Publishes the main thread's current hard time limit to its helpers: call it whenever the run
// state or the iteration changes. Does nothing without helpers.
void PublishHardLimit(const SearchState& main);

// Tells the helpers to stop and returns once every one of them is parked.
void StopHelpers(SearchState& main);

// With one line wanted: when a helper completed a deeper iteration than `completedDepth` (the
// main thread's last complete one), copies its line to `line` and returns true.
bool TakeDeeperHelperLine(SearchState& main, int completedDepth, HelperLine& line);

// Whether the main thread's iteration was stopped only because a helper completed one as deep:
// then the main thread gets back the run state it had, and searches on from that line.
bool StoppedForHelperLine(SearchState& main);

// Lets helpers that stepped aside for the main thread search on, once it has cleared the
// attention flag. Does nothing without helpers.
void ResumeHelpers(SearchState& main);

// The main thread's own counters plus the latest ones each helper published. Every counter an
// info line or a limit reads for the whole search is summed here.
SearchCounters SummedCounters(const SearchState& main);

// Whether helper `threadIndex` (from 1) leaves out iteration `depth`.
bool HelperSkipsIteration(int threadIndex, int depth);

} // namespace tarvo
