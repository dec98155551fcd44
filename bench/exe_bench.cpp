// The exe we ship, measured from outside as a user's machine runs it: no
// code of the program is built into this benchmark.
//
//   exe_bench --line-rounds N        per line: 20-line passes into the stand-in
//   exe_bench --start-rounds N       start-up, until the program can be
//                                    typed into, next to the minimal window
//                                    program
//   exe_bench --idle-passes N --client-passes N   private bytes over many passes
//
// Prints what it measured, then "RESULT <name> <value>" lines for bench/run.sh.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace {

double Quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    double at = q * static_cast<double>(values.size() - 1);
    size_t below = static_cast<size_t>(at);
    size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (at - static_cast<double>(below));
}

void Result(const char *name, double value)
{
    std::printf("RESULT %s %.3f\n", name, value);
    std::fflush(stdout);
}

// Twenty chat lines, Japanese and ASCII mixed, with no byte that a command
// line would need to quote.
std::vector<std::string> ChatLines()
{
    static const char *const kTexts[] = {
        "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd",                     // こんにちは
        "hello everyone",
        "\x8d\xa1\x93\xfa\x82\xcd\x82\xa2\x82\xa2\x93\x56\x8b\x43 OK", // 今日はいい天気 OK
        "\x83\x65\x83\x58\x83\x67\x82\xc5\x82\xb7\x81\x42",             // テストです。
    };
    std::vector<std::string> lines;
    for (int i = 0; i < 20; i++)
        lines.push_back("line " + std::to_string(i + 1) + " " + kTexts[i % 4]);
    return lines;
}

// What each line cost beyond its half-second wait, on the stand-in's own
// clock: the gaps between texts arriving in its field, less the wait.
std::vector<double> LineCosts(const std::vector<Record> &records, size_t from)
{
    std::vector<double> costs;
    double previous = -1;
    for (size_t i = from; i < records.size(); i++) {
        if (records[i].child != kFieldChild || records[i].what != "SETTEXT")
            continue;
        double at = static_cast<double>(records[i].microseconds);
        if (previous >= 0)
            costs.push_back(at - previous - kLineWaitMs * 1000.0);
        previous = at;
    }
    return costs;
}

// How many lines the stand-in took with Enter since record `from`.
size_t LinesTaken(const std::vector<Record> &records, size_t from)
{
    size_t taken = 0;
    for (size_t i = from; i < records.size(); i++)
        taken += records[i].what == "LINE";
    return taken;
}

// Waits, without touching the sender, until the stand-in has taken `count`
// lines since record `from`; gives every record so far.
std::vector<Record> WaitForLines(StandIn &client, size_t from, size_t count)
{
    std::vector<Record> records;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Pause(500))
        if (LinesTaken(records = client.Records(), from) >= count)
            break;
    return records;
}

bool LineCost(int rounds)
{
    const std::vector<std::string> lines = ChatLines();
    std::string box, arguments;
    for (const std::string &line : lines) {
        box += (box.empty() ? "" : "\r\n") + line;
        arguments += " \"" + line + "\"";
    }
    StandIn client;
    Program program;
    if (!client.Window() || !program.Main())
        return false;
    const char *const kSenders[2] = {"lumaquill.exe", "floor_sender.exe"};
    std::vector<double> medians[2];
    size_t seen = client.Records().size();
    for (int round = 0; round < rounds; round++) {
        for (int k = 0; k < 2; k++) {
            int which = (round + k) % 2; // which sender goes first alternates
            std::unique_ptr<Process> floor;
            if (which) {
                floor.reset(new Process("\"" + BuildFolder() + kSenders[1] + "\"" + arguments));
            } else {
                program.SetBoxText(box);
                program.Command(command::kSend);
            }
            std::vector<Record> records = WaitForLines(client, seen, lines.size());
            std::vector<double> costs = LineCosts(records, seen);
            seen = records.size();
            bool ended = which ? floor->WaitForExit() == 0 : program.Settle();
            if (!ended || costs.size() != lines.size() - 1)
                return false;
            medians[which].push_back(Quantile(costs, 0.5) / 1000);
            std::printf("round %d, %-16s median %.3f ms a line beyond the wait (p25 %.3f, p75 %.3f)\n", round + 1,
                        kSenders[which], medians[which].back(), Quantile(costs, 0.25) / 1000,
                        Quantile(costs, 0.75) / 1000);
        }
    }
    for (int which = 0; which < 2; which++) {
        std::string name = which ? "line_ms_floor" : "line_ms";
        Result(name.c_str(), Quantile(medians[which], 0.5));
        Result((name + "_min").c_str(), Quantile(medians[which], 0));
        Result((name + "_max").c_str(), Quantile(medians[which], 1));
    }
    Result("line_ratio", Quantile(medians[0], 0.5) / Quantile(medians[1], 0.5));
    return true;
}

// How many child windows a window has.
int ChildCount(HWND window)
{
    int count = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        count++;
    return count;
}

// The program being started, as the window manager tells of it: each
// window it shows comes to our queue as an event, so the wait for its
// windows costs the machine nothing, where polling them would take a core
// from Wine while it starts the program.
struct Starting {
    DWORD processId;
    const char *className;
    int children;
    HWND window; // its main window, once that has its children
};
Starting *starting;

void CALLBACK WindowShown(HWINEVENTHOOK, DWORD, HWND, LONG object, LONG, DWORD, DWORD)
{
    if (object != OBJID_WINDOW || starting->window)
        return;
    HWND window = VisibleWindowOf(starting->processId, starting->className);
    if (window && ChildCount(window) >= starting->children)
        starting->window = window;
}

// From process start until the program can be typed into, in milliseconds;
// negative when it never could. That is once its main window is shown with
// `children` windows in it (lumaquill.exe makes its box and button after it
// shows its window) and its thread waits in the message loop, the first
// point at which it answers a message sent to it. WaitForInputIdle would
// tell that moment on Windows, but Wine signals it already while the first
// window is being made.
double StartAndClose(const char *exe, const char *className, int children)
{
    double start = NowMicroseconds();
    // Held until the hook is set, so that no window it shows goes unheard.
    Process process("\"" + BuildFolder() + exe + "\"", CREATE_SUSPENDED);
    if (!process.Started())
        return -1;
    Starting program = {process.Id(), className, children, NULL};
    starting = &program;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, NULL, WindowShown,
                                         process.Id(), 0, WINEVENT_OUTOFCONTEXT);
    process.Resume();
    HANDLE ended = process.Handle();
    MSG message;
    while (hook && !program.window &&
           MsgWaitForMultipleObjects(1, &ended, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    DWORD_PTR answer;
    bool ready = program.window && SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer);
    double ms = (NowMicroseconds() - start) / 1000;
    if (hook)
        UnhookWinEvent(hook);
    PostMessageA(program.window, WM_CLOSE, 0, 0);
    process.WaitForExit();
    Sleep(100); // let the desktop settle after the exit
    return ready ? ms : -1;
}

// A start is delayed by whatever else the machine does meanwhile, and never
// hastened: Wine's own process start alone moves by a fifth from one start
// to the next. So a round is five starts of each program, in turns, and
// counts the quickest of each, the start least disturbed.
const int kStartsPerRound = 5;

bool StartUp(int rounds)
{
    std::vector<double> all[2], quickest[2], ratios;
    for (int round = -1; round < rounds; round++) { // one round to warm up
        double least[2] = {1e30, 1e30};
        for (int start = 0; start < 2 * kStartsPerRound; start++) {
            int which = (start + start / 2) % 2; // ABBAAB...: neither goes first more often
            double ms = which ? StartAndClose("minimal_window.exe", "MinimalWindow", 0)
                              : StartAndClose("lumaquill.exe", "Lumaquill", 2);
            if (ms < 0)
                return false;
            least[which] = std::min(least[which], ms);
            if (round >= 0)
                all[which].push_back(ms);
        }
        if (round < 0)
            continue;
        for (int which = 0; which < 2; which++)
            quickest[which].push_back(least[which]);
        ratios.push_back(least[0] / least[1]);
        std::printf("round %d, quickest of %d: lumaquill.exe %.1f ms, minimal_window.exe %.1f ms, %.3f\n", round + 1,
                    kStartsPerRound, least[0], least[1], ratios.back());
    }
    std::printf("start-up, median of every start: lumaquill.exe %.1f ms, minimal_window.exe %.1f ms, %d rounds\n",
                Quantile(all[0], 0.5), Quantile(all[1], 0.5), rounds);
    Result("start_ms", Quantile(quickest[0], 0.5));
    Result("start_ms_minimal", Quantile(quickest[1], 0.5));
    Result("start_ratio", Quantile(ratios, 0.5));
    Result("start_ratio_p25", Quantile(ratios, 0.25));
    Result("start_ratio_p75", Quantile(ratios, 0.75));
    return true;
}

// Windows counts the commit charge in both PrivateUsage and PagefileUsage;
// Wine fills only the second for another process.
double PrivateKib(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters), sizeof counters))
        return 0;
    return static_cast<double>(counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage) / 1024;
}

bool MemoryUse(int idlePasses, int clientPasses)
{
    Program program;
    HANDLE process = program.Main() ? OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, program.Proc().Id()) : NULL;
    if (!process)
        return false;
    program.SetBoxText("\x83\x81\x83\x82\x83\x8a test"); // メモリ test
    Pause(1000);
    double start = PrivateKib(process);
    // With no client open each pass returns at once.
    for (int i = 1; i <= idlePasses; i++) {
        program.Command(command::kSend);
        if (i % 100 == 0 && !program.Settle())
            return false;
    }
    Pause(1000);
    double idle = PrivateKib(process);
    StandIn client;
    for (int i = 0; i < clientPasses; i++) {
        program.Command(command::kSend);
        if (!program.Settle())
            return false;
    }
    Pause(1000);
    double end = PrivateKib(process);
    size_t taken = LinesTaken(client.Records(), 0);
    CloseHandle(process);
    std::printf("private KiB: %.0f after start, %.0f after %d passes with no client, %.0f after %d into the "
                "stand-in (%zu lines taken)\n", start, idle, idlePasses, end, clientPasses, taken);
    Result("memory_kib_start", start);
    Result("memory_kib_idle", idle);
    Result("memory_kib_client", end);
    Result("memory_ratio", end / start);
    return start > 0 && taken == static_cast<size_t>(clientPasses);
}

} // namespace

int main(int argc, char **argv)
{
    bool ok = true;
    if (int rounds = ArgumentNumber(argc, argv, "--line-rounds", 0))
        ok = LineCost(rounds) && ok;
    if (int rounds = ArgumentNumber(argc, argv, "--start-rounds", 0))
        ok = StartUp(rounds) && ok;
    if (int passes = ArgumentNumber(argc, argv, "--idle-passes", 0))
        ok = MemoryUse(passes, ArgumentNumber(argc, argv, "--client-passes", 100)) && ok;
    if (!ok)
        std::fprintf(stderr, "exe_bench: a measurement did not complete\n");
    return ok ? 0 : 1;
}
