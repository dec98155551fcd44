// Whether the program's memory grows with use: the private bytes of a
// running lumaquill.exe, read from this process through OpenProcess, after
// start, after many passes with no chat client open (each returns at once),
// and after passes into the stand-in chat client (each one line, ~0.5 s).
//
//   memory_use [--idle-passes N] [--client-passes N]
//
// Passes are started as the keyboard starts them: WM_COMMAND for send posted
// to the main window, with text in its input box.
// Prints a table, then "RESULT <name> <value>" lines for bench/run.sh.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

struct Sample {
    const char *label;
    SIZE_T privateBytes, workingSet, pagefile;
};

Sample Measure(HANDLE process, const char *label)
{
    PROCESS_MEMORY_COUNTERS_EX counters;
    ZeroMemory(&counters, sizeof counters);
    counters.cb = sizeof counters;
    Sample s = {label, 0, 0, 0};
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters), sizeof counters)) {
        std::fprintf(stderr, "GetProcessMemoryInfo failed (%lu)\n", GetLastError());
        return s;
    }
    s.privateBytes = counters.PrivateUsage;
    s.workingSet = counters.WorkingSetSize;
    s.pagefile = counters.PagefileUsage;
    return s;
}

// Returns once every pass posted so far has run. A sent message is handled
// before posted ones, so one WM_NULL may overtake the last pass; the second
// can only be handled once the loop asks for a message again, after it.
bool Drain(HWND window)
{
    DWORD_PTR result;
    for (int i = 0; i < 2; i++)
        if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result))
            return false;
    return true;
}

bool PostPass(HWND window)
{
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(command::kSend, 0), 0) != FALSE;
}

// With no client a pass sends nothing, so it cannot take in our WM_NULL
// while it runs: the pass before it is over once WM_NULL is answered.
bool RunIdlePasses(HWND window, int count)
{
    for (int i = 0; i < count; i++) {
        DWORD_PTR result;
        if (!PostPass(window) || !SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result))
            return false;
    }
    return Drain(window);
}

// A pass into a client waits in SendMessageTimeout, where a WM_NULL of ours
// would be answered mid-pass; the client's log tells when a line is in.
bool RunClientPasses(HWND window, bench::StandIn &client, int count, int *taken)
{
    bool ok = true;
    for (int i = 0; i < count && ok; i++) {
        ok = PostPass(window);
        *taken = static_cast<int>(client.WaitForLinesTaken(static_cast<size_t>(i) + 1, 10000));
        ok = ok && *taken == i + 1;
    }
    return Drain(window) && ok;
}

int ArgumentAfter(int argc, char **argv, const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; i++)
        if (!std::strcmp(argv[i], name))
            return std::atoi(argv[i + 1]);
    return fallback;
}

double Kib(SIZE_T bytes)
{
    return static_cast<double>(bytes) / 1024.0;
}

} // namespace

int main(int argc, char **argv)
{
    const int idlePasses = ArgumentAfter(argc, argv, "--idle-passes", 1000);
    const int clientPasses = ArgumentAfter(argc, argv, "--client-passes", 100);
    const DWORD kSettleMs = 1000;

    if (FindWindowA(kChatClientClasses[0], NULL)) {
        std::fprintf(stderr, "a chat client is already open; the idle passes would not be idle\n");
        return 1;
    }
    Process program("\"" + BuildFolder() + "lumaquill.exe\"");
    HWND window = program.FindWindowOfClass("Lumaquill", 20000);
    if (!window) {
        std::fprintf(stderr, "lumaquill.exe showed no main window\n");
        return 1;
    }
    HWND box = FindWindowExA(window, NULL, "Edit", NULL);
    DWORD_PTR result;
    static const char kLine[] = "\x83\x81\x83\x82\x83\x8A test"; // メモリ test
    if (!box || !SendMessageTimeoutA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kLine), SMTO_NORMAL, 10000, &result)) {
        std::fprintf(stderr, "cannot type into the input box\n");
        return 1;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.Id());
    if (!process) {
        std::fprintf(stderr, "OpenProcess failed (%lu)\n", GetLastError());
        return 1;
    }

    std::vector<Sample> samples;
    Sleep(kSettleMs);
    samples.push_back(Measure(process, "after start"));
    Sleep(kSettleMs);
    samples.push_back(Measure(process, "after start, 1 s later"));

    double began = bench::NowMicroseconds();
    bool ok = RunIdlePasses(window, idlePasses);
    double idleSeconds = (bench::NowMicroseconds() - began) / 1e6;
    Sleep(kSettleMs);
    std::string idleLabel = "after " + std::to_string(idlePasses) + " passes, no client";
    samples.push_back(Measure(process, idleLabel.c_str()));

    bench::StandIn client;
    int linesTaken = 0;
    double clientSeconds = 0;
    std::string clientLabel = "after " + std::to_string(clientPasses) + " passes into client";
    if (!client.Window()) {
        std::fprintf(stderr, "the stand-in chat client did not start\n");
        ok = false;
    } else {
        began = bench::NowMicroseconds();
        ok = RunClientPasses(window, client, clientPasses, &linesTaken) && ok;
        clientSeconds = (bench::NowMicroseconds() - began) / 1e6;
        Sleep(kSettleMs);
        samples.push_back(Measure(process, clientLabel.c_str()));
    }

    std::printf("Memory of lumaquill.exe (KiB)\n");
    std::printf("  %-34s %14s %14s %14s\n", "when", "PrivateUsage", "WorkingSet", "PagefileUsage");
    for (const Sample &s : samples)
        std::printf("  %-34s %14.0f %14.0f %14.0f\n", s.label, Kib(s.privateBytes), Kib(s.workingSet), Kib(s.pagefile));
    std::printf("  %d idle passes took %.2f s; %d passes into the client took %.2f s, %d lines taken\n", idlePasses,
                idleSeconds, clientPasses, clientSeconds, linesTaken);
    if (!ok)
        std::printf("  a pass could not be started or did not end in time\n");

    // Windows keeps the commit charge in both PrivateUsage and PagefileUsage.
    // Wine 8.0 fills only PagefileUsage when the process asked about is not
    // the caller, so that is the private figure whenever PrivateUsage is 0.
    bool privateFilled = false;
    for (const Sample &s : samples)
        privateFilled = privateFilled || s.privateBytes != 0;
    auto privateOf = [&](const Sample &s) { return Kib(privateFilled ? s.privateBytes : s.pagefile); };
    if (!privateFilled)
        std::printf("  PrivateUsage reads 0 for another process here; private bytes below are PagefileUsage\n");

    const Sample &start = samples[0];
    const Sample &last = samples.back();
    std::printf("RESULT memory_private_source %s\n", privateFilled ? "PrivateUsage" : "PagefileUsage");
    std::printf("RESULT memory_private_kib_start %.0f\n", privateOf(start));
    std::printf("RESULT memory_private_kib_idle_passes %.0f\n", privateOf(samples[2]));
    if (samples.size() > 3)
        std::printf("RESULT memory_private_kib_client_passes %.0f\n", privateOf(samples[3]));
    std::printf("RESULT memory_private_growth_kib %.0f\n", privateOf(last) - privateOf(start));
    std::printf("RESULT memory_private_idle_noise_kib %.0f\n", privateOf(samples[1]) - privateOf(samples[0]));
    std::printf("RESULT memory_private_ratio %.4f\n", privateOf(start) > 0 ? privateOf(last) / privateOf(start) : 0.0);
    std::printf("RESULT memory_workingset_ratio %.4f\n",
                start.workingSet ? static_cast<double>(last.workingSet) / static_cast<double>(start.workingSet) : 0.0);
    std::printf("RESULT memory_lines_taken %d/%d\n", linesTaken, clientPasses);

    CloseHandle(process);
    PostMessageA(window, WM_CLOSE, 0, 0);
    program.WaitForExit(5000);
    return ok ? 0 : 1;
}
