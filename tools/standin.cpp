/* A stand-in chat client: registers one of the three chat clients' window
 * classes, shows a row of child windows whose eighth is an input field, and
 * shows every line that arrives there with Enter in a transcript. With --log
 * it also writes each text and key message its windows receive to a file,
 * in the format chat_clients.h gives, so a test or a person can see exactly
 * what was typed, when, and whether the stand-in was in front as it came.
 *
 *   standin [--target 0|1|2] [--children N] [--log FILE]
 *           [--hang SECONDS [--hang-at N]] [--refuse N] [--tell WINDOW]
 *           [--close-on-esc]
 *
 * --hang makes the Nth text that arrives (the first unless --hang-at says)
 * hold the stand-in that long; --refuse makes it turn the Nth text away,
 * answering WM_SETTEXT with FALSE and keeping the field as it was; --tell
 * names a window (its handle in decimal) that hears of each text before the
 * stand-in takes it (kTextArrivingMessage); --close-on-esc closes the
 * stand-in on an Esc key-down in any of its windows, as a client whose
 * input field sits in a dialog would close.
 */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "chat_clients.h"

static const int kTranscriptChild = 1;

static HANDLE logFile = INVALID_HANDLE_VALUE;
static int hangSeconds;
static int hangAt = 1;
static int refuseAt;
static HWND tellWindow;
static int textsArrived;
static int childCount = 9;
static HWND children[64];
static WNDPROC childProcs[64];
static int typingOurselves; /* our own SetWindowText calls are not arrivals */
static HWND clientWindow;
static int closeOnEsc;

struct MessageName { UINT message; const char *name; };
static const MessageName kRecorded[] = {
    { WM_SETTEXT, "SETTEXT" }, { WM_KEYDOWN, "KEYDOWN" }, { WM_KEYUP, "KEYUP" },
    { WM_CHAR, "CHAR" }, { WM_SYSKEYDOWN, "SYSKEYDOWN" }, { WM_SYSKEYUP, "SYSKEYUP" },
    { WM_SYSCHAR, "SYSCHAR" },
};

static char *AppendText(char *out, const char *text)
{
    while (*text)
        *out++ = *text++;
    return out;
}

static char *AppendNumber(char *out, unsigned long long value, int base)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[value % base];
        value /= base;
    } while (value);
    while (count)
        *out++ = digits[--count];
    return out;
}

static char *AppendBytes(char *out, const char *bytes, size_t length)
{
    if (!bytes || !length)
        return AppendText(out, "-");
    for (size_t i = 0; i < length; i++) {
        unsigned char b = (unsigned char)bytes[i];
        *out++ = "0123456789ABCDEF"[b >> 4];
        *out++ = "0123456789ABCDEF"[b & 15];
    }
    return out;
}

static void Record(int child, const char *what, WPARAM wParam, LPARAM lParam, const char *bytes, size_t length)
{
    if (logFile == INVALID_HANDLE_VALUE)
        return;
    char *record = (char *)malloc(2 * length + 128);
    if (!record)
        return;
    char *out = record;
    out = AppendNumber(out, ClockMicroseconds(), 10);
    *out++ = ' ';
    out = AppendNumber(out, (unsigned)child, 10);
    *out++ = ' ';
    out = AppendText(out, what);
    *out++ = ' ';
    out = AppendNumber(out, (unsigned long long)wParam, 16);
    *out++ = ' ';
    out = AppendNumber(out, (unsigned long long)(ULONG_PTR)lParam, 16);
    *out++ = ' ';
    *out++ = GetForegroundWindow() == clientWindow ? '1' : '0';
    *out++ = ' ';
    out = AppendBytes(out, bytes, length);
    *out++ = '\r';
    *out++ = '\n';
    DWORD written;
    WriteFile(logFile, record, (DWORD)(out - record), &written, NULL);
    free(record);
}

static void TakeLine(HWND field, LPARAM keyData)
{
    int length = GetWindowTextLengthA(field);
    char *line = (char *)calloc((size_t)length + 1, 1);
    if (!line)
        return;
    int copied = GetWindowTextA(field, line, length + 1);
    Record(kFieldChild, "LINE", VK_RETURN, keyData, line, (size_t)copied);
    HWND transcript = children[kTranscriptChild - 1];
    if (transcript) {
        LRESULT item = SendMessageA(transcript, LB_ADDSTRING, 0, (LPARAM)line);
        SendMessageA(transcript, LB_SETTOPINDEX, (WPARAM)item, 0);
    }
    /* A chat client empties its field once the line is sent. */
    typingOurselves = 1;
    SetWindowTextA(field, "");
    typingOurselves = 0;
    free(line);
}

/* Logs a key message that one of our windows got. With --close-on-esc,
 * Esc's key-down closes the window wherever it lands, as a dialog does
 * (its multi-line edit posts WM_CLOSE, IsDialogMessage makes it IDCANCEL). */
static void RecordKey(int child, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (size_t i = 0; i < sizeof kRecorded / sizeof kRecorded[0]; i++)
        if (kRecorded[i].message == message && message != WM_SETTEXT)
            Record(child, kRecorded[i].name, wParam, lParam, NULL, 0);
    if (closeOnEsc && message == WM_KEYDOWN && wParam == VK_ESCAPE)
        PostMessageA(clientWindow, WM_CLOSE, 0, 0);
}

static LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    int child = (int)GetWindowLongPtrA(window, GWLP_USERDATA);
    WNDPROC original = childProcs[child - 1];

    RecordKey(child, message, wParam, lParam);
    if (message == WM_SETTEXT && !typingOurselves) {
        const char *text = (const char *)lParam;
        Record(child, "SETTEXT", wParam, 0, text, text ? strlen(text) : 0);
        textsArrived++;
        if (tellWindow) {
            DWORD_PTR answer;
            SendMessageTimeoutA(tellWindow, kTextArrivingMessage, (WPARAM)textsArrived, 0, SMTO_NORMAL,
                                60000, &answer);
        }
        if (textsArrived == hangAt && hangSeconds > 0)
            Sleep((DWORD)hangSeconds * 1000); /* hang once, then answer again */
        if (textsArrived == refuseAt)
            return FALSE;
    }
    if (child == kFieldChild && message == WM_KEYDOWN && wParam == VK_RETURN) {
        TakeLine(window, lParam);
        return 0;
    }
    return CallWindowProcA(original, window, message, wParam, lParam);
}

static void LayoutClient(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    int width = client.right, height = client.bottom;
    int rowHeight = 24, fieldTop = height - rowHeight;
    for (int i = 0; i < childCount; i++) {
        int number = i + 1;
        if (!children[i])
            continue;
        if (number == kTranscriptChild)
            MoveWindow(children[i], 0, rowHeight, width, fieldTop - rowHeight, TRUE);
        else if (number == kFieldChild)
            MoveWindow(children[i], 0, fieldTop, width, rowHeight, TRUE);
        else if (number < kFieldChild)
            MoveWindow(children[i], (number - 2) * (width / 6), 0, width / 6, rowHeight, TRUE);
        else
            MoveWindow(children[i], 0, 0, 0, 0, TRUE);
    }
}

static void CreateChildren(HWND window, HINSTANCE instance)
{
    static const char *const kToolbar[6] = { "Room", "Members", "Log", "Font", "Away", "Help" };
    for (int i = 0; i < childCount; i++) {
        int number = i + 1;
        HWND child;
        if (number == kTranscriptChild)
            child = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", NULL,
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                                    0, 0, 0, 0, window, NULL, instance, NULL);
        else if (number == kFieldChild)
            child = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", NULL,
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                    0, 0, 0, 0, window, NULL, instance, NULL);
        else
            child = CreateWindowExA(0, "STATIC", number < kFieldChild ? kToolbar[number - 2] : "",
                                    WS_CHILD | (number < kFieldChild ? WS_VISIBLE : 0) | SS_CENTER,
                                    0, 0, 0, 0, window, NULL, instance, NULL);
        children[i] = child;
        if (!child)
            continue;
        SetWindowLongPtrA(child, GWLP_USERDATA, number);
        childProcs[i] = (WNDPROC)SetWindowLongPtrA(child, GWLP_WNDPROC, (LONG_PTR)ChildProc);
    }
}

static LRESULT CALLBACK ClientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RecordKey(0, message, wParam, lParam);
    switch (message) {
    case WM_SIZE:      LayoutClient(window); return 0;
    case WM_DESTROY:   PostQuitMessage(0); return 0;
    }
    if (message == kSyncMessage) {
        Record(0, "SYNC", wParam, lParam, NULL, 0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState)
{
    int target = ArgumentNumber(__argc, __argv, "--target", 0);
    const char *logPath = ArgumentText(__argc, __argv, "--log");
    childCount = ArgumentNumber(__argc, __argv, "--children", childCount);
    hangSeconds = ArgumentNumber(__argc, __argv, "--hang", 0);
    hangAt = ArgumentNumber(__argc, __argv, "--hang-at", hangAt);
    refuseAt = ArgumentNumber(__argc, __argv, "--refuse", 0);
    closeOnEsc = ArgumentFlag(__argc, __argv, "--close-on-esc");
    if (const char *tell = ArgumentText(__argc, __argv, "--tell"))
        tellWindow = (HWND)(ULONG_PTR)strtoull(tell, NULL, 10);
    if (target < 0 || target > 2)
        target = 0;
    if (childCount < 0)
        childCount = 0;
    if (childCount > (int)(sizeof children / sizeof children[0]))
        childCount = (int)(sizeof children / sizeof children[0]);
    if (logPath)
        logFile = CreateFileA(logPath, FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);

    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = ClientProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kChatClientClasses[target];
    if (!RegisterClassA(&windowClass))
        return 1;

    char title[128] = "Stand-in chat client - ";
    strcat(title, kChatClientClasses[target]);
    clientWindow = CreateWindowExA(0, kChatClientClasses[target], title, WS_OVERLAPPEDWINDOW,
                                   330, 0, 460, 320, NULL, NULL, instance, NULL);
    if (!clientWindow)
        return 1;
    CreateChildren(clientWindow, instance);
    LayoutClient(clientWindow);
    ShowWindow(clientWindow, showState);
    UpdateWindow(clientWindow);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        /* Enter in the field is taken on its key-down, as the chat clients do;
         * it makes no character, so every character logged came from outside. */
        if (!(message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
              message.hwnd == children[kFieldChild - 1]))
            TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (logFile != INVALID_HANDLE_VALUE)
        CloseHandle(logFile);
    return (int)message.wParam;
}
