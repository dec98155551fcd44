#include "bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numeric>
#include <sstream>

namespace bench {

const char kClientClass[] = "J-\x83\x60\x83\x83\x83\x62\x83\x67"; /* Ｊチャット */
static const UINT kSyncMessage = WM_APP + 1; // the stand-in logs it as SYNC

double NowMicroseconds()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // Whole seconds and the rest apart, as the stand-in does, so that large
    // counter values lose no precision.
    return static_cast<double>(now.QuadPart / frequency.QuadPart) * 1e6 +
           static_cast<double>(now.QuadPart % frequency.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

std::string ExeFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string TempPath(const std::string &name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    static unsigned counter;
    return std::string(folder) + "lumaquill-bench-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter) + "-" + name;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

HWND VisibleWindowOf(DWORD processId, const char *className)
{
    HWND window = NULL;
    while ((window = FindWindowExA(NULL, window, className, NULL)) != NULL) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window))
            return window;
    }
    return NULL;
}

Child::Child(const std::string &commandLine)
{
    ZeroMemory(&info_, sizeof info_);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    std::string line = commandLine;
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info_))
        ZeroMemory(&info_, sizeof info_);
}

Child::~Child()
{
    Close(NULL);
    if (info_.hProcess) {
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

bool Child::Running() const
{
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

HWND Child::WaitForWindow(const char *className, DWORD timeoutMs, DWORD pollMs) const
{
    DWORD start = GetTickCount();
    while (Running()) {
        HWND window = VisibleWindowOf(info_.dwProcessId, className);
        if (window)
            return window;
        if (GetTickCount() - start > timeoutMs)
            break;
        PumpMessages();
        Sleep(pollMs);
    }
    return NULL;
}

void Child::Close(HWND window)
{
    if (!Running())
        return;
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD start = GetTickCount();
    while (window && Running() && GetTickCount() - start < 5000) {
        PumpMessages();
        Sleep(5);
    }
    if (Running()) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
}

static std::string StandInCommand(const std::string &log)
{
    return "\"" + ExeFolder() + "standin.exe\" --target 0 --children 9 --log \"" + log + "\"";
}

StandIn::StandIn()
    : log_(TempPath("standin.log")), process_(StandInCommand(log_)),
      window_(process_.WaitForWindow(kClientClass))
{
}

StandIn::~StandIn()
{
    process_.Close(window_);
    DeleteFileA(log_.c_str());
}

int StandIn::Mark()
{
    int marker = ++markers_;
    if (window_)
        PostMessageA(window_, kSyncMessage, static_cast<WPARAM>(marker), 0);
    return marker;
}

static std::vector<Record> ReadLog(const std::string &path)
{
    std::vector<Record> records;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        unsigned long long microseconds;
        Record r;
        if (fields >> microseconds >> r.child >> r.what >> std::hex >> r.wParam) {
            r.microseconds = static_cast<double>(microseconds);
            records.push_back(r);
        }
    }
    return records;
}

std::vector<Record> StandIn::RecordsThrough(int marker)
{
    std::vector<Record> records;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        records = ReadLog(log_);
        for (const Record &r : records)
            if (r.what == "SYNC" && r.wParam == static_cast<unsigned long long>(marker))
                return records;
        PumpMessages();
        Sleep(10);
    }
    std::fprintf(stderr, "stand-in never logged marker %d\n", marker);
    return records;
}

size_t StandIn::WaitForLinesTaken(size_t count, DWORD timeoutMs)
{
    size_t taken = 0;
    DWORD start = GetTickCount();
    for (;;) {
        taken = 0;
        for (const Record &r : ReadLog(log_))
            taken += r.child == 8 && r.what == "LINE";
        if (taken >= count || GetTickCount() - start > timeoutMs)
            return taken;
        PumpMessages();
        Sleep(5);
    }
}

static double Quantile(const std::vector<double> &sorted, double q)
{
    if (sorted.empty())
        return 0;
    double at = q * static_cast<double>(sorted.size() - 1);
    size_t below = static_cast<size_t>(at);
    size_t above = std::min(below + 1, sorted.size() - 1);
    double part = at - static_cast<double>(below);
    return sorted[below] * (1 - part) + sorted[above] * part;
}

Summary Summarize(std::vector<double> values)
{
    Summary s = {values.size(), 0, 0, 0, 0, 0, 0};
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.median = Quantile(values, 0.5);
    s.p25 = Quantile(values, 0.25);
    s.p75 = Quantile(values, 0.75);
    s.min = values.front();
    s.max = values.back();
    s.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    return s;
}

} // namespace bench
