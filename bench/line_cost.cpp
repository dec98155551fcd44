// What one typed line costs beyond the 500 ms the client is given to settle,
// against the stand-in chat client running as a process of its own.
//
// Three measurements, in alternating rounds:
//  - steps: the platform calls DeliverLine makes, in its order, each timed
//    with QueryPerformanceCounter, so the cost can be put on a step;
//  - DeliverLine itself, one call a line, timed whole;
//  - passes: SendText itself, 20 lines from an edit control of ours as the
//    input box, timed both here and by the stand-in's own log stamps.
//
//   line_cost [--rounds N] [--lines N]
//
// Prints tables, then "RESULT <name> <value>" lines for bench/run.sh.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app.h"
#include "bench_support.h"
#include "sending.h"

namespace {

using bench::NowMicroseconds;
using bench::Summarize;
using bench::Summary;

// The wait the program promises before each line; the figure is what a line
// costs beyond it, so it is stated here rather than read from the program.
const double kDelayMicroseconds = 500 * 1000.0;

// Chat lines of mixed length, some of them Japanese.
std::vector<std::string> ChatLines(int count)
{
    static const char *const kTexts[] = {
        "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd",                     // こんにちは
        "hello everyone",
        "\x8d\xa1\x93\xfa\x82\xcd\x82\xa2\x82\xa2\x93\x56\x8b\x43 OK", // 今日はいい天気 OK
        "\x83\x65\x83\x58\x83\x67\x82\xc5\x82\xb7\x81\x42",             // テストです。
    };
    std::vector<std::string> lines;
    for (int i = 0; i < count; i++)
        lines.push_back("line " + std::to_string(i + 1) + " " + kTexts[i % 4]);
    return lines;
}

enum Step { kLookup, kHungCheck, kRaise, kSleepOvershoot, kWalk, kFocus, kSetText, kEnter, kStepCount };
const char *const kStepNames[kStepCount] = {
    "lookup FindWindowA", "IsHungAppWindow", "raise SetWindowPos async", "Sleep(500) overshoot",
    "walk GetWindow x8", "SetFocus", "WM_SETTEXT round trip", "PostMessage Enter",
};

struct StepSample {
    double at[kStepCount + 1]; // clock before each step, and after the last
    bool focusFailed;          // SetFocus gave NULL with an error set
};

// The calls of DeliverLine, one line, with the clock read between them.
StepSample TimedLine(const char *line)
{
    StepSample s;
    s.at[kLookup] = NowMicroseconds();
    HWND client = FindWindowA(TargetTable[0], NULL);
    s.at[kHungCheck] = NowMicroseconds();
    BOOL hung = client ? IsHungAppWindow(client) : TRUE;
    s.at[kRaise] = NowMicroseconds();
    if (!hung)
        SetWindowPos(client, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
    s.at[kSleepOvershoot] = NowMicroseconds();
    Sleep(kFocusDelayMs);
    s.at[kWalk] = NowMicroseconds();
    HWND field = client ? GetWindow(client, GW_CHILD) : NULL;
    for (int step = 0; step < kSiblingSteps && field; step++)
        field = GetWindow(field, GW_HWNDNEXT);
    s.at[kFocus] = NowMicroseconds();
    // SetFocus gives NULL both when it fails and when nothing had the focus
    // before; only a failure sets an error.
    SetLastError(0);
    s.focusFailed = field && !SetFocus(field) && GetLastError() != 0;
    s.at[kSetText] = NowMicroseconds();
    DWORD_PTR taken = 0;
    BOOL answered = field && SendMessageTimeoutA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(line),
                                                 SMTO_ABORTIFHUNG, kClientTimeoutMs, &taken);
    s.at[kEnter] = NowMicroseconds();
    if (answered && taken)
        PostMessageA(field, WM_KEYDOWN, VK_RETURN, kEnterKeyData);
    s.at[kStepCount] = NowMicroseconds();
    if (!client || !field || !answered || !taken)
        std::fprintf(stderr, "line not delivered: client %p field %p answered %d taken %d\n",
                     static_cast<void *>(client), static_cast<void *>(field), answered, static_cast<int>(taken));
    return s;
}

double StepCost(const StepSample &s, int step)
{
    double cost = s.at[step + 1] - s.at[step];
    return step == kSleepOvershoot ? cost - kDelayMicroseconds : cost;
}

// Records of the input field (child 8) of one kind, from index `from` on.
std::vector<double> FieldStamps(const std::vector<Record> &records, size_t from, const char *what)
{
    std::vector<double> stamps;
    for (size_t i = from; i < records.size(); i++)
        if (records[i].child == 8 && records[i].what == what)
            stamps.push_back(records[i].microseconds);
    return stamps;
}

double StampOf(const std::vector<Record> &records, size_t from, const char *what, int marker)
{
    for (size_t i = from; i < records.size(); i++)
        if (records[i].what == what && records[i].wParam == static_cast<unsigned long long>(marker))
            return records[i].microseconds;
    return 0;
}

struct PassFigures {
    double inProcessPerLine;  // SendText call time beyond n x 500 ms, per line
    double standInPerLine;    // stand-in: its marker before the pass to its last line taken
    double standInInterval;   // stand-in: mean gap between line arrivals beyond 500 ms
    double markerLag;         // how long after our clock's start the stand-in stamped the marker
    size_t linesTaken;
};

void PrintRow(const char *name, const Summary &s, double shareBase)
{
    std::printf("  %-28s %9.1f %9.1f %9.1f %9.1f %9.1f", name, s.median, s.p75, s.max, s.mean, s.min);
    if (shareBase > 0)
        std::printf(" %6.1f%%", 100.0 * s.mean / shareBase);
    std::printf("\n");
}

int ArgumentAfter(int argc, char **argv, const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; i++)
        if (!std::strcmp(argv[i], name))
            return std::atoi(argv[i + 1]);
    return fallback;
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = ArgumentAfter(argc, argv, "--rounds", 3);
    const int lineCount = ArgumentAfter(argc, argv, "--lines", 20);
    const std::vector<std::string> lines = ChatLines(lineCount);

    bench::StandIn client;
    if (!client.Window()) {
        std::fprintf(stderr, "the stand-in chat client did not start\n");
        return 1;
    }

    // The input box the passes read, as in the program: an edit control of
    // a main window of this process.
    appSettings = AppSettings{0, 0, 0};
    mainWindow = CreateWindowExA(0, "STATIC", "line cost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 400, 300, 200,
                                 NULL, NULL, GetModuleHandleA(NULL), NULL);
    inputBox = CreateWindowExA(0, "EDIT", NULL, WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 280, 150, mainWindow,
                               NULL, GetModuleHandleA(NULL), NULL);
    std::string boxText;
    for (size_t i = 0; i < lines.size(); i++)
        boxText += (i ? "\r\n" : "") + lines[i];

    std::vector<StepSample> steps;
    std::vector<double> arrivals, replies, enterToTaken, deliverCalls;
    int clockInside = 0, clockChecked = 0;
    std::vector<PassFigures> passes;
    size_t seen = 0;

    for (int round = 0; round < rounds; round++) {
        // Steps: one line at a time, as DeliverLine does it.
        std::vector<StepSample> roundSteps;
        for (const std::string &line : lines)
            roundSteps.push_back(TimedLine(line.c_str()));
        int marker = client.Mark();
        std::vector<Record> records = client.RecordsThrough(marker);
        std::vector<double> texts = FieldStamps(records, seen, "SETTEXT");
        std::vector<double> taken = FieldStamps(records, seen, "LINE");
        seen = records.size();
        for (size_t i = 0; i < roundSteps.size(); i++) {
            const StepSample &s = roundSteps[i];
            if (i < texts.size()) {
                clockChecked++;
                clockInside += texts[i] >= s.at[kSetText] && texts[i] <= s.at[kEnter];
                arrivals.push_back(texts[i] - s.at[kSetText]);
                replies.push_back(s.at[kEnter] - texts[i]);
            }
            if (i < taken.size())
                enterToTaken.push_back(taken[i] - s.at[kEnter]);
        }
        steps.insert(steps.end(), roundSteps.begin(), roundSteps.end());

        // The program's own DeliverLine, one call a line, timed whole: tells
        // whether the steps above are the same work the program does.
        for (const std::string &line : lines) {
            double before = NowMicroseconds();
            DeliverLine(line.c_str());
            deliverCalls.push_back(NowMicroseconds() - before - kDelayMicroseconds);
        }
        seen = client.RecordsThrough(client.Mark()).size();

        // A whole pass through SendText.
        SetWindowTextA(inputBox, boxText.c_str());
        bench::PumpMessages();
        // The idle stand-in stamps this marker as the pass begins: the pass
        // is then measured on the stand-in's clock alone, marker to last line.
        int before = client.Mark();
        double start = NowMicroseconds();
        SendText();
        double end = NowMicroseconds();
        int after = client.Mark();
        records = client.RecordsThrough(after);
        texts = FieldStamps(records, seen, "SETTEXT");
        taken = FieldStamps(records, seen, "LINE");
        double passStart = StampOf(records, seen, "SYNC", before);
        seen = records.size();

        PassFigures f;
        f.linesTaken = taken.size();
        f.inProcessPerLine = (end - start - lineCount * kDelayMicroseconds) / lineCount;
        f.markerLag = passStart - start;
        f.standInPerLine = taken.empty() ? 0
            : (taken.back() - passStart - lineCount * kDelayMicroseconds) / lineCount;
        f.standInInterval = texts.size() < 2 ? 0
            : (texts.back() - texts.front()) / static_cast<double>(texts.size() - 1) - kDelayMicroseconds;
        passes.push_back(f);
        std::printf("round %d: pass of %d lines, %zu taken by the stand-in\n", round + 1, lineCount, f.linesTaken);
        std::fflush(stdout);
    }

    // Where the time of one line goes, all rounds pooled.
    std::vector<double> beyond;
    for (const StepSample &s : steps)
        beyond.push_back(s.at[kStepCount] - s.at[kLookup] - kDelayMicroseconds);
    Summary total = Summarize(beyond);

    std::printf("\nSteps of one line (%zu lines, microseconds; share = of the mean time beyond 500 ms)\n",
                steps.size());
    std::printf("  %-28s %9s %9s %9s %9s %9s %7s\n", "step", "median", "p75", "max", "mean", "min", "share");
    for (int step = 0; step < kStepCount; step++) {
        std::vector<double> costs;
        for (const StepSample &s : steps)
            costs.push_back(StepCost(s, step));
        PrintRow(kStepNames[step], Summarize(costs), total.mean);
    }
    PrintRow("total beyond 500 ms", total, 0);
    PrintRow("DeliverLine call, same lines", Summarize(deliverCalls), 0);
    std::printf("\n  WM_SETTEXT round trip, split by the stand-in's stamp:\n");
    PrintRow("  sent -> stand-in has it", Summarize(arrivals), 0);
    PrintRow("  stand-in has it -> reply", Summarize(replies), 0);
    std::printf("\n  After our part of the line is done:\n");
    PrintRow("Enter posted -> line taken", Summarize(enterToTaken), 0);
    std::printf("  (stand-in stamps inside our SendMessage call: %d of %d; the clock is shared when all are)\n",
                clockInside, clockChecked);
    int focusFailures = 0;
    for (const StepSample &s : steps)
        focusFailures += s.focusFailed;
    std::printf("  SetFocus on the client's field failed in %d of %zu lines\n", focusFailures, steps.size());

    std::printf("\nWhole passes through SendText (%d lines each; ms per line beyond %lu ms)\n", lineCount,
                static_cast<unsigned long>(kDelayMicroseconds / 1000));
    std::printf("  %-6s %14s %18s %18s %7s %12s\n", "pass", "in process", "stand-in pass", "stand-in gaps", "taken",
                "marker lag");
    std::vector<double> inProcess, standIn, intervals;
    for (size_t i = 0; i < passes.size(); i++) {
        const PassFigures &f = passes[i];
        std::printf("  %-6zu %14.3f %18.3f %18.3f %7zu %9.3f ms\n", i + 1, f.inProcessPerLine / 1000,
                    f.standInPerLine / 1000, f.standInInterval / 1000, f.linesTaken, f.markerLag / 1000);
        inProcess.push_back(f.inProcessPerLine);
        standIn.push_back(f.standInPerLine);
        intervals.push_back(f.standInInterval);
    }
    double standInMedian = Summarize(standIn).median;
    std::printf("  %-6s %14.3f %18.3f %18.3f\n", "median", Summarize(inProcess).median / 1000, standInMedian / 1000,
                Summarize(intervals).median / 1000);

    std::printf("RESULT line_ms_beyond_delay %.3f\n", standInMedian / 1000);
    std::printf("RESULT line_ms_beyond_delay_in_process %.3f\n", Summarize(inProcess).median / 1000);
    std::printf("RESULT line_ms_steps_total %.3f\n", total.median / 1000);
    std::printf("RESULT line_ms_deliverline_call %.3f\n", Summarize(deliverCalls).median / 1000);
    std::printf("RESULT line_target_ratio %.3f\n", standInMedian / 5000.0);
    std::printf("RESULT line_overhead_ratio %.5f\n", (kDelayMicroseconds + standInMedian) / kDelayMicroseconds);
    std::printf("RESULT line_clock_shared %d/%d\n", clockInside, clockChecked);
    std::printf("RESULT line_setfocus_failed %d/%zu\n", focusFailures, steps.size());
    for (int step = 0; step < kStepCount; step++) {
        std::vector<double> costs;
        for (const StepSample &s : steps)
            costs.push_back(StepCost(s, step));
        std::printf("RESULT step_us_median[%s] %.1f\n", kStepNames[step], Summarize(costs).median);
    }

    DestroyWindow(mainWindow);
    client.Close();
    return 0;
}
