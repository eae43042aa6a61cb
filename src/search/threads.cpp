#include "search/threads.h"

#include "search/history.h"
#include "search/root.h"
#include "search/strength.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace tarvo {

namespace {

constexpr auto Relaxed = std::memory_order_relaxed;

HelperThread& HelperOf(const SearchState& state) {
    return *state.threads->helpers[static_cast<std::size_t>(state.threadIndex - 1)];
}

void Publish(const SearchState& state) {
    HelperThread& helper = HelperOf(state);
    helper.nodes.store(state.nodes, Relaxed);
    helper.tableUsed.store(state.tt.usedCount, Relaxed);
    helper.tbHits.store(state.tbHits, Relaxed);
}

// Nodes between two looks at the clock by a helper.
constexpr std::uint32_t HelperClockNodes = 1024;
// Nodes between two polls of a main thread whose helpers may end its search: a short search
// should not run on long after a helper completed it.
constexpr std::int32_t MainPollNodes = 1000;

// The milliseconds after the start at which the main thread's rules end the search at the
// latest, whatever happens within its iterations.
std::int32_t HardLimitMs(const SearchControl& control) {
    std::int32_t limit = INT32_MAX;
    if (control.runState == Timed) {
        limit = control.deadlineMs;
        if (control.iteration > 1)
            limit = std::min(limit, control.maxTimeMs);
    } else if (control.runState == Untimed) {
        if (control.moveTime != 0 && !control.pondering)
            limit = control.moveTime;
        if (!control.infiniteOrPonder)
            limit = std::min(limit, control.deadlineMs);
    }
    return limit;
}

// A helper's node poll, run at every node (its poll interval is 0): publish, obey a stop, and
// now and then look at the clock, so that the search ends in time even when the main thread
// waits for a processor behind many helpers.
void HelperPoll(SearchState& state) {
    Publish(state);
    SearchThreads& threads = *state.threads;
    if ((state.nodes & (HelperClockNodes - 1)) == 0 && threads.readClock) {
        const auto elapsed = static_cast<std::int32_t>(threads.readClock() - threads.startTick);
        if (elapsed >= threads.hardLimitMs.load(Relaxed))
            threads.stop.store(true, Relaxed);
    }
    if (threads.attention.load(Relaxed)) {
        std::unique_lock<std::mutex> lock(threads.mutex);
        threads.resumed.wait(
            lock, [&] { return !threads.attention.load(Relaxed) || threads.stop.load(Relaxed); });
    }
    if (threads.stop.load(Relaxed))
        state.control.runState = Stopped;
}

int FirstIteration(int threadIndex) {
    int depth = 1;
    while (HelperSkipsIteration(threadIndex, depth))
        ++depth;
    return depth;
}

// Keeps the best line of the helper's current iteration as its root line. The first root move
// of every iteration is searched with a full window, so a complete iteration always has one.
void HelperRootResult(SearchState& state, int value, Move move) {
    int& best = state.multiPv.score[0]; // emptied at every iteration's start
    if (value <= best || state.control.runState == Stopped)
        return;
    best                   = value;
    PlyRecord& root        = state.plies[0];
    const PlyRecord& below = state.plies[1];
    root.pv[0]             = move;
    std::copy_n(below.pv.begin(), below.pvLength, root.pv.begin() + 1);
    root.pvLength = below.pvLength + 1;
}

bool HelperIterationDone(SearchState& state) {
    SearchThreads& threads = *state.threads;
    int& iteration         = state.control.iteration;
    if (threads.adopt) {
        const PlyRecord& root = state.plies[0];
        std::lock_guard<std::mutex> lock(threads.mutex);
        if (iteration > threads.lineDepth.load(Relaxed) && root.pvLength > 0) {
            threads.lineScore  = state.multiPv.score[0];
            threads.lineLength = root.pvLength;
            std::copy_n(root.pv.begin(), root.pvLength, threads.line.begin());
            threads.lineDepth.store(iteration, Relaxed);
        }
        if (iteration >= threads.lastDepth) {
            threads.stop.store(true, Relaxed);
            return true;
        }
    }
    const int completed = iteration;
    do
        ++iteration;
    while (HelperSkipsIteration(state.threadIndex, iteration));
    // No helper leaves out the last depth: the first thread to complete it ends the search.
    if (completed < threads.lastDepth)
        iteration = std::min(iteration, static_cast<int>(threads.lastDepth));
    return false;
}

// The main thread's node poll while it may take the helpers' lines: a helper line as deep as
// the current iteration stops it.
void MainPoll(SearchState& main) {
    SearchThreads& threads = *main.threads;
    if (threads.mainNodePoll)
        threads.mainNodePoll(main);
    if (main.control.runState != Stopped &&
        threads.lineDepth.load(Relaxed) >= main.control.iteration) {
        threads.mainStoppedForLine = true;
        threads.mainRunState       = main.control.runState;
        main.control.runState      = Stopped;
    }
}

void HelperMain(SearchThreads& threads, HelperThread& helper) {
    std::uint32_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(threads.mutex);
            threads.wake.wait(lock, [&] { return threads.quit || threads.searchNumber != seen; });
            if (threads.quit)
                return;
            seen = threads.searchNumber;
        }
        RootSearch(*helper.state, helper.board, helper.limits);
        Publish(*helper.state);
        std::lock_guard<std::mutex> lock(threads.mutex);
        if (--threads.running == 0)
            threads.parked.notify_all();
    }
}

void EndThreads(SearchThreads& threads) {
    {
        std::lock_guard<std::mutex> lock(threads.mutex);
        threads.quit = true;
    }
    threads.wake.notify_all();
    for (auto& helper : threads.helpers)
        if (helper->thread.joinable())
            helper->thread.join();
}

// A helper with its state, or nullptr when the memory cannot be had.
std::unique_ptr<HelperThread> MakeHelper(SearchThreads& threads, int threadIndex) {
    std::unique_ptr<HelperThread> helper(new (std::nothrow) HelperThread);
    if (!helper)
        return nullptr;
    helper->state.reset(new (std::nothrow) SearchState);
    if (!helper->state)
        return nullptr;
    SearchState& state = *helper->state;
    InitSearchRecords(state);
    state.threads        = &threads;
    state.threadIndex    = threadIndex;
    state.hooks.nodePoll = HelperPoll;
    state.hooks.rootPoll = HelperPoll;
    // The helper keeps its root moves' keys to itself and leaves only complete lines: no
    // other hook.
    state.hooks.rootResult    = HelperRootResult;
    state.hooks.iterationDone = HelperIterationDone;
    return helper;
}

} // namespace

bool HelperSkipsIteration(int threadIndex, int depth) {
    if (threadIndex <= 0)
        return false;
    // Helpers come in groups of 2, 4, 6, ...: the helpers of group s leave out runs of s depths
    // in turn, each helper of the group at another offset, so that at any depth about half of
    // them are one or more plies ahead of the main thread. The first helper takes every even
    // depth.
    int offset = threadIndex - 1;
    int run    = 1;
    while (offset >= 2 * run) {
        offset -= 2 * run;
        ++run;
    }
    return (depth + offset) / run % 2 != 0;
}

int SetSearchThreads(SearchState& main, int count) {
    count             = std::clamp(count, 1, MaxThreads);
    const int current = main.threads ? static_cast<int>(main.threads->helpers.size()) + 1 : 1;
    main.options.threads = current;
    if (count == current)
        return current;
    if (SearchThreads* old = main.threads) {
        EndThreads(*old);
        delete old;
        main.threads = nullptr;
    }
    main.options.threads = 1;
    if (count == 1)
        return 1;

    SearchThreads* threads = new (std::nothrow) SearchThreads;
    if (!threads)
        return 1;
    // The list is complete before the first thread starts, as the threads index into it.
    for (int index = 1; index < count; ++index) {
        std::unique_ptr<HelperThread> helper = MakeHelper(*threads, index);
        if (!helper)
            break;
        threads->helpers.push_back(std::move(helper));
    }
    std::size_t started = 0;
    for (; started < threads->helpers.size(); ++started) {
        HelperThread& helper = *threads->helpers[started];
        try {
            helper.thread = std::thread(HelperMain, std::ref(*threads), std::ref(helper));
        } catch (const std::system_error&) {
            break;
        }
    }
    // Helpers read the list only during a search, so the ones that never started can go now.
    threads->helpers.resize(started);
    if (threads->helpers.empty()) {
        delete threads;
        return 1;
    }
    main.threads         = threads;
    main.options.threads = static_cast<int>(started) + 1;
    return main.options.threads;
}

void StartHelpers(SearchState& main, const Board& board, const MoveList& rootMoves) {
    SearchThreads* threads = main.threads;
    if (!threads || main.threadIndex != 0)
        return;
    const bool adopt    = SearchedLines(main) == 1 && !main.options.limitStrength;
    const int lastDepth = adopt ? std::clamp(main.control.maxDepth, 1, MaxPly - 1) : MaxPly - 1;
    {
        std::lock_guard<std::mutex> lock(threads->mutex);
        for (auto& helper : threads->helpers) {
            SearchState& state = *helper->state;
            state.tt           = main.tt; // the same entries and generation
            state.tt.usedCount = 0;
            state.options      = main.options;
            ClearHistory(state);
            state.nodes            = 0;
            state.tbHits           = 0;
            state.selDepth         = 0;
            state.control          = SearchControl{};
            state.control.runState = Untimed;
            // Only the main thread's depth ends the search: a helper that stopped at it would
            // sit idle while the main thread finishes its last iteration.
            state.control.maxDepth      = MaxPly - 1;
            state.control.iteration     = std::min(FirstIteration(state.threadIndex), lastDepth);
            state.control.pollInterval  = 0;
            state.control.pollCountdown = 0;
            helper->board               = board;
            helper->limits.searchmoves  = rootMoves;
            helper->nodes.store(0, Relaxed);
            helper->tableUsed.store(0, Relaxed);
            helper->tbHits.store(0, Relaxed);
        }
        threads->stop.store(false, Relaxed);
        threads->adopt     = adopt;
        threads->lastDepth = lastDepth;
        threads->lineDepth.store(0, Relaxed);
        threads->mainStoppedForLine = false;
        threads->readClock = main.hooks.readClock;
        threads->startTick = main.control.startTick;
        threads->hardLimitMs.store(HardLimitMs(main.control), Relaxed);
        threads->running = static_cast<int>(threads->helpers.size());
        ++threads->searchNumber;
    }
    if (adopt) {
        threads->mainNodePoll    = main.hooks.nodePoll;
        main.hooks.nodePoll      = MainPoll;
        main.control.pollInterval  = std::min(main.control.pollInterval, MainPollNodes);
        main.control.pollCountdown = std::min(main.control.pollCountdown, MainPollNodes);
    }
    threads->wake.notify_all();
}

void PublishHardLimit(const SearchState& main) {
    if (main.threads && main.threadIndex == 0)
        main.threads->hardLimitMs.store(HardLimitMs(main.control), Relaxed);
}

void StopHelpers(SearchState& main) {
    SearchThreads* threads = main.threads;
    if (!threads || main.threadIndex != 0)
        return;
    if (main.hooks.nodePoll == MainPoll)
        main.hooks.nodePoll = threads->mainNodePoll;
    std::unique_lock<std::mutex> lock(threads->mutex);
    threads->stop.store(true, Relaxed);
    threads->resumed.notify_all();
    threads->parked.wait(lock, [&] { return threads->running == 0; });
}

bool TakeDeeperHelperLine(SearchState& main, int completedDepth, HelperLine& line) {
    SearchThreads* threads = main.threads;
    if (!threads || main.threadIndex != 0 || !threads->adopt)
        return false;
    std::lock_guard<std::mutex> lock(threads->mutex);
    const int depth = threads->lineDepth.load(Relaxed);
    if (depth <= completedDepth)
        return false;
    line.depth  = depth;
    line.score  = threads->lineScore;
    line.length = threads->lineLength;
    std::copy_n(threads->line.begin(), threads->lineLength, line.moves.begin());
    return true;
}

bool StoppedForHelperLine(SearchState& main) {
    SearchThreads* threads = main.threads;
    if (!threads || main.threadIndex != 0 || !threads->mainStoppedForLine)
        return false;
    threads->mainStoppedForLine = false;
    main.control.runState       = threads->mainRunState;
    return true;
}

void ResumeHelpers(SearchState& main) {
    SearchThreads* threads = main.threads;
    if (!threads || main.threadIndex != 0)
        return;
    // Taken under the mutex, so that a helper that found the flag set is already waiting.
    { std::lock_guard<std::mutex> lock(threads->mutex); }
    threads->resumed.notify_all();
}

SearchCounters SummedCounters(const SearchState& main) {
    SearchCounters sum{main.nodes, main.tt.usedCount, main.tbHits};
    if (main.threads && main.threadIndex == 0) {
        for (const auto& helper : main.threads->helpers) {
            sum.nodes += helper->nodes.load(Relaxed);
            sum.tableUsed += helper->tableUsed.load(Relaxed);
            sum.tbHits += helper->tbHits.load(Relaxed);
        }
        // Two threads that stamp one entry at the same moment may both count it.
        sum.tableUsed = std::min(sum.tableUsed, main.tt.entryCount);
    }
    return sum;
}

} // namespace tarvo
