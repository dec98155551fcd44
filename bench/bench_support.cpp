#include "bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numeric>
#include <sstream>

namespace bench {

static const UINT kSyncMessage = WM_APP + 1; // the stand-in logs it as SYNC

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

static std::string StandInCommand(const std::string &log)
{
    return "\"" + BuildFolder() + "standin.exe\" --target 0 --children 9 --log \"" + log + "\"";
}

StandIn::StandIn()
    : log_(TempPath("standin.log")), process_(StandInCommand(log_)),
      window_(process_.FindWindowOfClass(kChatClientClasses[0], 20000))
{
}

StandIn::~StandIn()
{
    Close();
    DeleteFileA(log_.c_str());
}

void StandIn::Close()
{
    if (window_)
        PostMessageA(window_, WM_CLOSE, 0, 0);
    process_.WaitForExit(5000);
    process_.Kill();
    window_ = NULL;
}

int StandIn::Mark()
{
    int marker = ++markers_;
    if (window_)
        PostMessageA(window_, kSyncMessage, static_cast<WPARAM>(marker), 0);
    return marker;
}

std::vector<Record> StandIn::RecordsThrough(int marker)
{
    std::vector<Record> records;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        records = ReadStandInLog(log_);
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
        for (const Record &r : ReadStandInLog(log_))
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
