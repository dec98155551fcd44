// What the benchmark programs under Wine share: a microsecond clock that all
// processes on the machine read alike, starting the programs they measure,
// finding their windows, reading the stand-in chat client's log, and the
// summary figures (medians, quartiles).
//
// Starting processes, temporary names and the build folder come from the
// tests' harness; what is here is what only the benchmarks need.
#ifndef LUMAQUILL_BENCH_SUPPORT_H
#define LUMAQUILL_BENCH_SUPPORT_H

#include <windows.h>

#include "harness.h"

#include <string>
#include <vector>

namespace bench {

using ::NowMicroseconds; // the tests' clock, shared with the stand-in

// Runs the messages of our own windows while we wait, as a user's program
// would, so nothing of ours holds up a window that sends to us.
void PumpMessages();

// The visible top-level window of a class that a process owns, or NULL.
HWND VisibleWindowOf(DWORD processId, const char *className);

// The stand-in chat client, under the class of TargetTable row 0, with a log.
class StandIn {
public:
    StandIn();
    ~StandIn();
    StandIn(const StandIn &) = delete;
    StandIn &operator=(const StandIn &) = delete;
    HWND Window() const { return window_; }
    // Asks the stand-in to close, and ends it if it does not.
    void Close();
    // Leaves a marker in the log, stamped by the stand-in when it handles it.
    int Mark();
    // Waits until the marker is in the log, then gives every record so far.
    std::vector<Record> RecordsThrough(int marker);
    // Waits until the input field has taken `count` lines in all; gives how
    // many it had when it stopped waiting.
    size_t WaitForLinesTaken(size_t count, DWORD timeoutMs);

private:
    std::string log_;
    Process process_;
    HWND window_;
    int markers_ = 0;
};

struct Summary {
    size_t count;
    double median, p25, p75, min, max, mean;
};
Summary Summarize(std::vector<double> values);

} // namespace bench

#endif
