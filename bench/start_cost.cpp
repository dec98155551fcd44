// Start-up time of the program next to the smallest window program built
// with the same compiler and flags: from CreateProcess until a visible
// top-level window of the program's class, owned by the new process, can be
// found. Runs alternate between the two programs, and which goes first
// alternates by round, so that load on the machine falls on both alike.
//
//   start_cost [--runs N] [--warmup N] [--step-runs N]
//
// Then starts bench/start_steps.cpp, which reads the clock between the calls
// of the program's start, to tell where the difference goes.
// Also notes when each process first waits for input (WaitForInputIdle), by
// which time the program has made its children and entered its loop.
// Prints a table, then "RESULT <name> <value>" lines for bench/run.sh.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

using bench::NowMicroseconds;
using bench::Summarize;
using bench::Summary;

// One of the two programs started in turn, with its times.
struct Measured {
    const char *label;
    const char *exe;
    const char *className;
    std::vector<double> shown, idle; // microseconds from CreateProcess
    std::vector<double> exits;       // from WM_CLOSE until the process has ended
};

// Polling the window list is itself work for the Wine server, so the poll
// sleeps between looks; a millisecond is well under the figure's noise.
const DWORD kPollMs = 1;

// One start and end of a program, timed on our clock: when it began, when
// its window was seen, when it first waited for input and how long it took
// to end once asked to close. Polls tightly and without waiting for input
// first, which the tests' process helper does, so the window is seen as
// soon as it shows.
struct TimedStart {
    double start = 0;
    double shown = 0;   // microseconds from start
    double idle = -1;   // microseconds from start, -1 if it never went idle
    double exit = 0;    // microseconds from WM_CLOSE to the process's end
    bool windowSeen = false;
};

bool StartAndClose(std::string commandLine, const char *className, TimedStart *timed)
{
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);

    timed->start = NowMicroseconds();
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        std::fprintf(stderr, "cannot start %s (%lu)\n", commandLine.c_str(), GetLastError());
        return false;
    }
    HWND window = NULL;
    DWORD began = GetTickCount();
    while (!(window = bench::VisibleWindowOf(info.dwProcessId, className))) {
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0 || GetTickCount() - began > 30000)
            break;
        Sleep(kPollMs);
    }
    timed->shown = NowMicroseconds() - timed->start;
    if (WaitForInputIdle(info.hProcess, 10000) == 0)
        timed->idle = NowMicroseconds() - timed->start;

    double closing = NowMicroseconds();
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    timed->exit = NowMicroseconds() - closing;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    timed->windowSeen = window != NULL;
    if (!window)
        std::fprintf(stderr, "%s showed no window of class %s\n", commandLine.c_str(), className);
    return timed->windowSeen;
}

bool StartOnce(Measured &program, double *shown, double *idle)
{
    TimedStart timed;
    bool seen = StartAndClose("\"" + BuildFolder() + program.exe + "\"", program.className, &timed);
    *shown = timed.shown;
    *idle = timed.idle;
    program.exits.push_back(timed.exit);
    return seen;
}

// One start of start_steps: the clock readings it wrote, turned into the
// time of each step (from the reading before it), with "CreateProcess to
// WinMain" first and, last, when this side saw the window.
struct StepRun {
    std::vector<std::string> names;
    std::vector<double> costs;
};

bool StartSteps(const char *mode, StepRun *run)
{
    std::string out = TempPath("start_steps.txt");
    std::string commandLine = "\"" + BuildFolder() + "start_steps.exe\" --mode " + mode + " --out \"" + out + "\"";
    const char *className = std::strcmp(mode, "minimal") ? "Lumaquill" : "MinimalWindow";
    TimedStart timed;
    bool seen = StartAndClose(commandLine, className, &timed);
    double start = timed.start;
    double shown = timed.shown;

    FILE *file = std::fopen(out.c_str(), "r");
    if (!file)
        return false;
    char name[128];
    double at, previous = start;
    run->names.clear();
    run->costs.clear();
    while (std::fscanf(file, " %127[^\t]\t%lf", name, &at) == 2) {
        run->names.push_back(run->names.empty() ? "CreateProcess to WinMain" : name);
        run->costs.push_back(at - previous);
        previous = at;
    }
    std::fclose(file);
    DeleteFileA(out.c_str());
    run->names.push_back("window seen here (from CreateProcess)");
    run->costs.push_back(shown);
    return seen && run->names.size() > 2;
}

struct StepTable {
    const char *mode;
    std::vector<std::string> names;
    std::vector<std::vector<double>> costs;
    void Add(const StepRun &run)
    {
        if (names.empty()) {
            names = run.names;
            costs.resize(names.size());
        }
        for (size_t i = 0; i < costs.size() && i < run.costs.size(); i++)
            costs[i].push_back(run.costs[i]);
    }
    // Sum of the step medians from CreateProcess through the named step.
    double MedianThrough(const char *last) const
    {
        double sum = 0;
        for (size_t i = 0; i < names.size(); i++) {
            sum += Summarize(costs[i]).median;
            if (names[i] == last)
                break;
        }
        return sum;
    }
    void Print() const
    {
        std::printf("  %s (%zu runs)\n", mode, costs.empty() ? 0 : costs[0].size());
        for (size_t i = 0; i < names.size(); i++) {
            Summary s = Summarize(costs[i]);
            std::printf("    %-40s %9.2f %9.2f %9.2f\n", names[i].c_str(), s.median / 1000, s.p25 / 1000,
                        s.p75 / 1000);
        }
    }
};

int ArgumentAfter(int argc, char **argv, const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; i++)
        if (!std::strcmp(argv[i], name))
            return std::atoi(argv[i + 1]);
    return fallback;
}

void PrintRow(const Measured &p, const Summary &shown, const Summary &idle)
{
    std::printf("  %-16s %6zu %9.1f %9.1f %9.1f %9.1f %9.1f   %9.1f %9.1f\n", p.label, shown.count,
                shown.median / 1000, shown.p25 / 1000, shown.p75 / 1000, shown.min / 1000, shown.max / 1000,
                idle.median / 1000, Summarize(p.exits).median / 1000);
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = ArgumentAfter(argc, argv, "--runs", 30);
    const int warmup = ArgumentAfter(argc, argv, "--warmup", 2);
    Measured programs[2] = {
        {"lumaquill.exe", "lumaquill.exe", "Lumaquill", {}, {}, {}},
        {"minimal_window", "minimal_window.exe", "MinimalWindow", {}, {}, {}},
    };
    std::vector<double> pairedRatios;
    int failures = 0;

    for (int round = -warmup; round < runs; round++) {
        double shown[2] = {0, 0}, idle[2] = {0, 0};
        bool ok = true;
        for (int k = 0; k < 2; k++) {
            int which = (round & 1) ? 1 - k : k;
            ok = StartOnce(programs[which], &shown[which], &idle[which]) && ok;
            Sleep(100); // let the server and the desktop settle after the exit
        }
        if (round < 0)
            continue;
        if (!ok) {
            failures++;
            continue;
        }
        for (int which = 0; which < 2; which++) {
            programs[which].shown.push_back(shown[which]);
            if (idle[which] >= 0)
                programs[which].idle.push_back(idle[which]);
        }
        pairedRatios.push_back(shown[0] / shown[1]);
    }

    Summary product = Summarize(programs[0].shown), floor = Summarize(programs[1].shown);
    Summary productIdle = Summarize(programs[0].idle), floorIdle = Summarize(programs[1].idle);
    Summary paired = Summarize(pairedRatios);
    std::printf("Start-up, CreateProcess to a visible main window (ms; %d warm-up rounds left out)\n", warmup);
    std::printf("  %-16s %6s %9s %9s %9s %9s %9s   %9s %9s\n", "program", "runs", "median", "p25", "p75", "min", "max",
                "idle med", "exit med");
    PrintRow(programs[0], product, productIdle);
    PrintRow(programs[1], floor, floorIdle);
    std::printf("  ratio of medians %.3f; median of per-round ratios %.3f (p25 %.3f, p75 %.3f); idle ratio %.3f\n",
                product.median / floor.median, paired.median, paired.p25, paired.p75,
                floorIdle.median > 0 ? productIdle.median / floorIdle.median : 0.0);
    if (failures)
        std::printf("  %d rounds left out: a program showed no window\n", failures);

    std::printf("RESULT start_ms_median_lumaquill %.1f\n", product.median / 1000);
    std::printf("RESULT start_ms_median_minimal %.1f\n", floor.median / 1000);
    std::printf("RESULT start_ratio %.3f\n", product.median / floor.median);
    std::printf("RESULT start_ratio_paired %.3f\n", paired.median);
    std::printf("RESULT start_idle_ratio %.3f\n", floorIdle.median > 0 ? productIdle.median / floorIdle.median : 0.0);
    std::printf("RESULT start_runs %zu\n", product.count);
    std::fflush(stdout);

    // Where the time goes: the same start, read step by step from inside.
    const int stepRuns = ArgumentAfter(argc, argv, "--step-runs", 15);
    StepTable tables[3] = {{"steps", {}, {}}, {"product", {}, {}}, {"minimal", {}, {}}};
    for (int round = -warmup; round < stepRuns; round++) {
        for (int k = 0; k < 3; k++) {
            StepTable &table = tables[(k + (round < 0 ? 0 : round)) % 3];
            StepRun run;
            bool ok = StartSteps(table.mode, &run);
            Sleep(100);
            if (ok && round >= 0)
                table.Add(run);
        }
    }
    std::printf("\nStart-up step by step (start_steps.exe, ms: median, p25, p75; each step from the reading before)\n");
    for (const StepTable &table : tables)
        table.Print();
    double toVisible = tables[0].MedianThrough("ShowWindow (now visible)");
    double floorToVisible = tables[2].MedianThrough("ShowWindow (now visible)");
    std::printf("  CreateProcess to visible, sum of step medians: steps %.2f ms, minimal %.2f ms, ratio %.3f\n",
                toVisible / 1000, floorToVisible / 1000, floorToVisible > 0 ? toVisible / floorToVisible : 0.0);
    std::printf("RESULT start_steps_ratio %.3f\n", floorToVisible > 0 ? toVisible / floorToVisible : 0.0);
    for (size_t i = 0; i < tables[0].names.size(); i++)
        std::printf("RESULT start_step_ms[%s] %.2f\n", tables[0].names[i].c_str(),
                    Summarize(tables[0].costs[i]).median / 1000);
    for (size_t i = 0; i < tables[2].names.size(); i++)
        std::printf("RESULT start_floor_step_ms[%s] %.2f\n", tables[2].names[i].c_str(),
                    Summarize(tables[2].costs[i]).median / 1000);
    return failures == runs ? 1 : 0;
}
