#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

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
    // Process ids come round again quickly under Wine: the clock keeps
    // names from earlier test processes apart.
    static unsigned counter;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    std::string path = std::string(folder) + "lumaquill-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(now.QuadPart) + "-" + std::to_string(++counter) + "-" + name;
    DeleteFileA(path.c_str());
    return path;
}

double NowMicroseconds()
{
    return static_cast<double>(ClockMicroseconds());
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

void Pause(DWORD ms)
{
    WaitUntil([] { return false; }, ms);
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

Process::Process(const std::string &commandLine, DWORD creationFlags) : commandLine_(commandLine)
{
    ZeroMemory(&info_, sizeof info_);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    std::string line = commandLine;
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, creationFlags, NULL, NULL, &startup, &info_)) {
        // Said here, or a test would see no more than a window that never came.
        std::fprintf(stderr, "could not start %s: Windows error %lu\n", commandLine.c_str(), GetLastError());
        ZeroMemory(&info_, sizeof info_);
    }
}

Process::~Process()
{
    Kill();
    if (info_.hProcess) {
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
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

HWND Process::FindWindowOfClass(const char *className, DWORD timeoutMs) const
{
    HWND found = NULL;
    if (!Started())
        return NULL;
    // Until its loop first waits for input, a program may still be making windows.
    WaitForInputIdle(info_.hProcess, timeoutMs);
    WaitUntil([&] { return (found = VisibleWindowOf(info_.dwProcessId, className)) != NULL; }, timeoutMs);
    DWORD code = STILL_ACTIVE;
    if (!found && GetExitCodeProcess(info_.hProcess, &code) && code != STILL_ACTIVE)
        std::fprintf(stderr, "%s ended with exit code 0x%lX before showing a window of class %s\n",
                     commandLine_.c_str(), code, className);
    return found;
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

static std::string StandInCommand(const std::string &log, int target, int children, const std::string &options)
{
    std::ostringstream command;
    command << '"' << BuildFolder() << "standin.exe\" --target " << target << " --children " << children
            << " --log \"" << log << "\" " << options;
    return command.str();
}

StandIn::StandIn(int target, int children, const std::string &options)
    : log_(TempPath("standin.log")),
      process_(StandInCommand(log_, target, children, options)),
      window_(process_.FindWindowOfClass(kChatClientClasses[target]))
{
}

std::vector<Record> ReadStandInLog(const std::string &path)
{
    std::vector<Record> records;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Record r;
        std::string bytes;
        if (fields >> r.microseconds >> r.child >> r.what >> std::hex >> r.wParam >> r.lParam >> std::dec >> r.front >>
            bytes) {
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
            records = ReadStandInLog(log_);
            for (const Record &r : records)
                if (r.what == "SYNC" && r.wParam == static_cast<unsigned long long>(cookie))
                    return true;
            return false;
        }, 20000);
    } else {
        records = ReadStandInLog(log_);
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

std::vector<std::string> LinesOf(const std::vector<Record> &records)
{
    std::vector<std::string> lines;
    for (const Record &r : records)
        if (r.what == "LINE")
            lines.push_back(r.bytes);
    return lines;
}

std::vector<std::string> DeliveredRows(const std::vector<std::string> &lines)
{
    std::vector<std::string> rows;
    std::ostringstream key; // Enter and its key data, as the log writes them
    key << std::hex << std::uppercase << VK_RETURN << ' ' << kEnterKeyLParam;
    const std::string field = std::to_string(kFieldChild);
    for (const std::string &line : lines) {
        rows.push_back(field + " SETTEXT 0 0 " + Hex(line));
        rows.push_back(field + " KEYDOWN " + key.str() + " -");
        rows.push_back(field + " LINE " + key.str() + " " + Hex(line));
    }
    return rows;
}

static HWND SecondChild(HWND main)
{
    HWND first = main ? GetWindow(main, GW_CHILD) : NULL;
    return first ? GetWindow(first, GW_HWNDNEXT) : NULL;
}

Program::Program(const std::string &arguments)
    : process_('"' + BuildFolder() + "lumaquill.exe\"" + (arguments.empty() ? "" : " " + arguments)),
      main_(process_.FindWindowOfClass("Lumaquill")),
      box_(NULL),
      button_(NULL)
{
    // The children are made just after the window shows.
    if (main_)
        WaitUntil([this] { return SecondChild(main_) != NULL; }, 10000);
    box_ = main_ ? GetWindow(main_, GW_CHILD) : NULL;
    button_ = SecondChild(main_);
}

bool Program::Settle(DWORD timeoutMs) const
{
    // A sent message would be answered ahead of the posted commands (and even
    // in the middle of a pass, while it waits on the client), so the marker is
    // posted behind them: a new text limit for the box, read back once set.
    static WPARAM marker = 100000;
    WPARAM mine = ++marker;
    if (!box_ || !PostMessageA(box_, EM_SETLIMITTEXT, mine, 0))
        return false;
    return WaitUntil([&] {
        DWORD_PTR limit = 0;
        return SendMessageTimeoutA(box_, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 1000, &limit) && limit == mine;
    }, timeoutMs);
}

void Program::Command(int id, HWND control, int notifyCode) const
{
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(id, notifyCode), reinterpret_cast<LPARAM>(control));
}

void Program::SetBoxText(const std::string &text) const
{
    SendMessageA(box_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Program::BoxText() const
{
    char text[4096] = "";
    SendMessageA(box_, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool Program::BringToFront() const
{
    SetForegroundWindow(main_);
    return WaitUntil([this] { return GetForegroundWindow() == main_; }, 5000);
}

// Moves the mouse to a point of the screen, then gives the button events.
static void MouseAt(int x, int y, std::initializer_list<DWORD> buttons)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    std::vector<DWORD> events = {MOUSEEVENTF_MOVE};
    events.insert(events.end(), buttons);
    std::vector<INPUT> input(events.size());
    for (size_t i = 0; i < events.size(); i++) {
        ZeroMemory(&input[i], sizeof input[i]);
        input[i].type = INPUT_MOUSE;
        input[i].mi.dx = x * 65535 / (width - 1);
        input[i].mi.dy = y * 65535 / (height - 1);
        input[i].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | events[i];
    }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

void ClickAt(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    MouseAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
}

// Input reaches a program behind the messages posted to it, so only the
// program's own answer tells that a click is done: the window pressed takes
// the mouse until the button is let go.
static bool ClickHandledAt(HWND window, int x, int y)
{
    DWORD thread = GetWindowThreadProcessId(window, NULL);
    auto held = [thread] {
        GUITHREADINFO info;
        ZeroMemory(&info, sizeof info);
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) && info.hwndCapture != NULL;
    };
    MouseAt(x, y, {MOUSEEVENTF_LEFTDOWN});
    bool pressed = WaitUntil(held, 5000);
    MouseAt(x, y, {MOUSEEVENTF_LEFTUP});
    return pressed && WaitUntil([&] { return !held(); }, 5000);
}

bool ClickAndWait(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return ClickHandledAt(window, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

bool ClickOnTitle(HWND window)
{
    TITLEBARINFO title;
    ZeroMemory(&title, sizeof title);
    title.cbSize = sizeof title;
    if (!GetTitleBarInfo(window, &title))
        return false;
    // A third of the way along, clear of the icon and the buttons.
    int x = title.rcTitleBar.left + (title.rcTitleBar.right - title.rcTitleBar.left) / 3;
    int y = (title.rcTitleBar.top + title.rcTitleBar.bottom) / 2;
    DWORD_PTR hit = 0;
    if (!SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, 5000, &hit) || hit != HTCAPTION)
        return false;
    return ClickHandledAt(window, x, y);
}

void PressWithCtrl(WORD key)
{
    INPUT input[4];
    ZeroMemory(input, sizeof input);
    WORD keys[4] = {VK_CONTROL, key, key, VK_CONTROL};
    for (int i = 0; i < 4; i++) {
        input[i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = keys[i];
        input[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(4, input, sizeof(INPUT));
}

void PressKey(WORD key)
{
    INPUT input[2];
    ZeroMemory(input, sizeof input);
    for (int i = 0; i < 2; i++) {
        input[i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = key;
        input[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(2, input, sizeof(INPUT));
}
