// What the tests under Wine share: starting the stand-in chat client and the
// program as processes of their own, reading what the stand-in recorded, and
// waiting for windows to appear.
#ifndef LUMAQUILL_TESTS_HARNESS_H
#define LUMAQUILL_TESTS_HARNESS_H

#include <windows.h>

#include "chat_clients.h"

#include <functional>
#include <string>
#include <vector>

// What the program promises, in the tests' own words: the numbers its menu
// and keys send, and the times a user can count on. The tests never take
// these from the program's headers, or they would move with a fault there.
namespace command {
const int kExit = 1000;
const int kJChat = 40001;
const int kChitChat = 40002;
const int kEraseAfterSend = 40003;
const int kHabitat = 40004;
const int kAlwaysOnTop = 40005;
const int kSend = 40006;
} // namespace command

// The longest a client that stopped answering may hold one line.
const DWORD kStalledClientMs = 2000;

// The folder the test programs, lumaquill.exe and standin.exe are built into.
std::string BuildFolder();
std::string TempPath(const std::string &name);
// The stand-in's clock (ClockMicroseconds), so our times and its stamps can
// be subtracted.
double NowMicroseconds();
bool WaitUntil(const std::function<bool()> &done, DWORD timeoutMs = 10000);
// Waits while keeping our own windows answering.
void Pause(DWORD ms);
std::string Hex(const std::string &bytes);

// The visible top-level window of a class that a process owns, or NULL.
HWND VisibleWindowOf(DWORD processId, const char *className);

// A child process that is ended, if still running, when the test is over.
class Process {
public:
    // With CREATE_SUSPENDED, it starts only on Resume.
    explicit Process(const std::string &commandLine, DWORD creationFlags = 0);
    ~Process();
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;
    bool Started() const { return info_.hProcess != NULL; }
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    // The top-level window of the given class that this process owns.
    HWND FindWindowOfClass(const char *className, DWORD timeoutMs = 10000) const;
    // Waits for the process to end and gives its exit code; STILL_ACTIVE if it did not.
    DWORD WaitForExit(DWORD timeoutMs = 10000);
    void Kill();
    void Resume() const { ResumeThread(info_.hThread); }

private:
    std::string commandLine_;
    PROCESS_INFORMATION info_;
};

// One line of the stand-in's log (see tools/standin.cpp).
struct Record {
    unsigned long long microseconds;
    int child;
    std::string what;
    unsigned long long wParam;
    unsigned long long lParam;
    int front;         // 1 when the stand-in was the foreground window
    std::string bytes; // the text itself, decoded from hex
    // "<child> <what> <wParam> <lParam> <text as hex>", without the time
    // and the foreground mark
    std::string Row() const;
};

// Every record in a stand-in's log so far, markers included.
std::vector<Record> ReadStandInLog(const std::string &path);

// The stand-in chat client, registered under the class of one TargetTable
// row, with a log of every text and key message its children received;
// options are more of its arguments ("--hang 6", "--refuse 2").
class StandIn {
public:
    explicit StandIn(int target = 0, int children = 9, const std::string &options = "");
    HWND Window() const { return window_; }
    Process &Proc() { return process_; }
    // Waits until the stand-in has handled everything sent or posted to it
    // so far, then gives the records, the test's own markers left out.
    std::vector<Record> Records();
    std::vector<std::string> Rows();

private:
    std::string log_;
    Process process_;
    HWND window_;
    int syncs_ = 0;
};

// The lines the stand-in sent (Enter taken in its field), in order.
std::vector<std::string> LinesOf(const std::vector<Record> &records);

// What one delivered line looks like in the stand-in's log.
std::vector<std::string> DeliveredRows(const std::vector<std::string> &lines);


// lumaquill.exe running as a process of its own, found by its class name.
class Program {
public:
    explicit Program(const std::string &arguments = "");
    Process &Proc() { return process_; }
    HWND Main() const { return main_; }
    HWND Box() const { return box_; }
    HWND Button() const { return button_; }
    // Returns once everything posted to the program so far has been handled:
    // a pass blocks its thread, so this also waits for a pass to end.
    bool Settle(DWORD timeoutMs = 60000) const;
    void Command(int id, HWND control = NULL, int notifyCode = 0) const;
    void SetBoxText(const std::string &text) const;
    std::string BoxText() const;
    // Makes the program the foreground window, as a user's click would.
    bool BringToFront() const;

private:
    Process process_;
    HWND main_;
    HWND box_;
    HWND button_;
};

// Real input through the window system, as a user gives it.
void ClickAt(HWND window);
// Clicks that return once the window's program has handled them; false
// where it never took the mouse, or, on the title, where the point chosen is
// not on the title bar (and there is no click).
bool ClickAndWait(HWND window);
bool ClickOnTitle(HWND window);
void PressWithCtrl(WORD key);
void PressKey(WORD key);

#endif
