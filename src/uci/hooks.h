#pragma once
// Connects the root search to the shell. The search layer cannot call up into the UCI layer,
// so it calls through the function pointers of SearchHooks; this module fills them with the
// shell's clock, limits, input poll and output.

namespace tarvo {

struct SearchState;

// The hooks of a search driven by `go`: input is polled, limits are checked, info lines are
// written and infinite or pondering searches wait for their end.
void installSearchHooks(SearchState& state);

// The hooks of a search that nothing but its depth may end (bench): no input is read, no
// limit is checked, nothing is written and nothing is waited for. The search runs exactly
// as a `go depth` search would otherwise, so it visits the same nodes.
void installQuietSearchHooks(SearchState& state);

} // namespace tarvo
