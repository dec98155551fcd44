#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

const char *const kClientClasses[3] = {
    "J-\x83\x60\x83\x83\x83\x62\x83\x67",
    "\x83\x54\x83\x93\x83\x8A\x83\x49\x81\x40\x83\x60\x83\x62"
    "\x83\x67\x81\x45\x83\x60\x83\x83\x83\x62\x83\x67",
    "gracevil",
};

static const UINT kSyncMessage = WM_APP + 1;

std::string BuildFolder()
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
    return std::string(folder) + "lumaquill-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter) + "-" + name;
}

bool WaitUntil(const std::function<bool()> &done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        // Keep our own windows answering while we wait.
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

std::string Hex(const std::string &bytes)
{
    if (bytes.empty())
        return "-";
    std::string out;
    for (unsigned char b : bytes) {
        out += "0123456789ABCDEF"[b >> 4];
        out += "0123456789ABCDEF"[b & 15];
    }
    return out;
}

static std::string Unhex(const std::string &hex)
{
    std::string out;
    if (hex == "-")
        return out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return out;
}

Process::Process(const std::string &commandLine)
{
    ZeroMemory(&info_, sizeof info_);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    std::string line = commandLine;
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info_))
        ZeroMemory(&info_, sizeof info_);
}

Process::~Process()
{
    Kill();
    if (info_.hProcess) {
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

struct WindowSearch {
    DWORD processId;
    const char *className;
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[256];
    if (owner == search->processId && GetClassNameA(window, className, sizeof className) &&
        !std::strcmp(className, search->className) && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Process::FindWindowOfClass(const char *className, DWORD timeoutMs) const
{
    WindowSearch search = {info_.dwProcessId, className, NULL};
    if (!Started())
        return NULL;
    WaitUntil([&] {
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != NULL;
    }, timeoutMs);
    return search.found;
}

DWORD Process::WaitForExit(DWORD timeoutMs)
{
    DWORD code = STILL_ACTIVE;
    if (!Started())
        return code;
    WaitUntil([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void Process::Kill()
{
    if (info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
}

std::string Record::Row() const
{
    std::ostringstream row;
    row << child << ' ' << what << ' ' << std::hex << std::uppercase << wParam << ' ' << lParam << ' '
        << Hex(bytes);
    return row.str();
}

static std::string StandInCommand(const std::string &log, int target, int children, int hangSeconds)
{
    std::ostringstream command;
    command << '"' << BuildFolder() << "standin.exe\" --target " << target << " --children " << children
            << " --log \"" << log << '"';
    if (hangSeconds)
        command << " --hang " << hangSeconds;
    return command.str();
}

StandIn::StandIn(int target, int children, int hangSeconds)
    : log_(TempPath("standin.log")),
      process_(StandInCommand(log_, target, children, hangSeconds)),
      window_(process_.FindWindowOfClass(kClientClasses[target]))
{
}

static std::vector<Record> ReadLog(const std::string &path)
{
    std::vector<Record> records;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Record r;
        std::string bytes;
        if (fields >> r.microseconds >> r.child >> r.what >> std::hex >> r.wParam >> r.lParam >> bytes) {
            r.bytes = Unhex(bytes);
            records.push_back(r);
        }
    }
    return records;
}

std::vector<Record> StandIn::Records()
{
    // Posted after everything the test caused, so the stand-in logs it last.
    int cookie = ++syncs_;
    std::vector<Record> records;
    if (window_ && PostMessageA(window_, kSyncMessage, static_cast<WPARAM>(cookie), 0)) {
        WaitUntil([&] {
            records = ReadLog(log_);
            for (const Record &r : records)
                if (r.what == "SYNC" && r.wParam == static_cast<unsigned long long>(cookie))
                    return true;
            return false;
        }, 20000);
    } else {
        records = ReadLog(log_);
    }
    std::vector<Record> received;
    for (const Record &r : records)
        if (r.what != "SYNC")
            received.push_back(r);
    return received;
}

std::vector<std::string> StandIn::Rows()
{
    std::vector<std::string> rows;
    for (const Record &r : Records())
        rows.push_back(r.Row());
    return rows;
}

std::vector<std::string> DeliveredRows(const std::vector<std::string> &lines)
{
    std::vector<std::string> rows;
    for (const std::string &line : lines) {
        rows.push_back("8 SETTEXT 0 0 " + Hex(line));
        rows.push_back("8 KEYDOWN D 1C0001 -");
        rows.push_back("8 LINE D 1C0001 " + Hex(line));
    }
    return rows;
}
