// What the benchmark programs under Wine share: a microsecond clock that all
// processes on the machine read alike, starting the programs they measure,
// finding their windows, reading the stand-in chat client's log, and the
// summary figures (medians, quartiles).
//
// Kept apart from the tests' harness on purpose: a benchmark should not
// change its figures because a test helper changed how it waits.
#ifndef LUMAQUILL_BENCH_SUPPORT_H
#define LUMAQUILL_BENCH_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

// QueryPerformanceCounter in microseconds. The stand-in stamps its log with
// the same counter, so our times and its times can be subtracted.
double NowMicroseconds();

// The folder this program was started from, with a trailing backslash; the
// programs under measurement are built next to it.
std::string ExeFolder();
std::string TempPath(const std::string &name);

// Runs the messages of our own windows while we wait, as a user's program
// would, so nothing of ours holds up a window that sends to us.
void PumpMessages();

// The visible top-level window of a class that a process owns, or NULL.
HWND VisibleWindowOf(DWORD processId, const char *className);

class Child {
public:
    explicit Child(const std::string &commandLine);
    ~Child();
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    bool Started() const { return info_.hProcess != NULL; }
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    bool Running() const;
    // Polls every pollMs until the window shows; NULL if it never did.
    HWND WaitForWindow(const char *className, DWORD timeoutMs = 20000, DWORD pollMs = 10) const;
    // Asks the window to close, then ends the process if it has not gone.
    void Close(HWND window);

private:
    PROCESS_INFORMATION info_;
};

// One record of the stand-in's log: see tools/standin.cpp.
struct Record {
    double microseconds;
    int child;
    std::string what;
    unsigned long long wParam;
};

// The stand-in chat client, under the class of TargetTable row 0, with a log.
class StandIn {
public:
    StandIn();
    ~StandIn();
    StandIn(const StandIn &) = delete;
    StandIn &operator=(const StandIn &) = delete;
    HWND Window() const { return window_; }
    Child &Process() { return process_; }
    // Leaves a marker in the log, stamped by the stand-in when it handles it.
    int Mark();
    // Waits until the marker is in the log, then gives every record so far.
    std::vector<Record> RecordsThrough(int marker);
    // Waits until the input field has taken `count` lines in all; gives how
    // many it had when it stopped waiting.
    size_t WaitForLinesTaken(size_t count, DWORD timeoutMs);

private:
    std::string log_;
    Child process_;
    HWND window_;
    int markers_ = 0;
};

extern const char kClientClass[]; // TargetTable row 0, as code page 932 bytes

struct Summary {
    size_t count;
    double median, p25, p75, min, max, mean;
};
Summary Summarize(std::vector<double> values);

} // namespace bench

#endif
