/* Plays a user for the run command on a virtual display: types a short
 * Japanese text into Lumaquill Post's input box with real key input, clicks
 * 送信, waits for the stand-in's transcript to show the lines, then opens the
 * menu so a screenshot shows both windows at work. The Japanese reaches the
 * box the way a user's IME text often does, through the clipboard and Ctrl+V:
 * Wine turns single Unicode key events into broken double-byte characters
 * for a program that reads its messages in code page 932. Exits 0 when the lines
 * arrived, 1 otherwise. */
#include <windows.h>

#include "chat_clients.h"

static const WCHAR kSample[] = L"\x3053\x3093\x306B\x3061\x306F\x3001Lumaquill\x3067\x3059\r\n"  /* こんにちは、Lumaquillです */
                               L"\x9001\x4FE1\x30C6\x30B9\x30C8 \x30C1\x30E3\x30C3\x30C8";     /* 送信テスト チャット */
static const int kSampleLines = 2;

/* Waits while answering our own messages: the clipboard we fill is read by
 * the program through our thread. */
static void Pause(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

/* Both programs make their children after their window shows: wait until
 * the last child we use is there. */
static HWND WaitForWindow(const char *className, int children)
{
    for (int i = 0; i < 200; i++) {
        HWND window = FindWindowA(className, NULL);
        HWND child = window ? GetWindow(window, GW_CHILD) : NULL;
        for (int n = 1; n < children && child; n++)
            child = GetWindow(child, GW_HWNDNEXT);
        if (child)
            return window;
        Pause(50);
    }
    return NULL;
}

static void PasteText(const WCHAR *text)
{
    SIZE_T bytes = (lstrlenW(text) + 1) * sizeof(WCHAR);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory || !OpenClipboard(NULL))
        return;
    CopyMemory(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();

    INPUT input[4];
    ZeroMemory(input, sizeof input);
    WORD keys[4] = {VK_CONTROL, 'V', 'V', VK_CONTROL};
    for (int i = 0; i < 4; i++) {
        input[i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = keys[i];
        input[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(4, input, sizeof(INPUT));
    Pause(200);
}

static void MouseInput(int x, int y, DWORD flags)
{
    INPUT input;
    ZeroMemory(&input, sizeof input);
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &input, sizeof(INPUT));
}

/* Move first and let the window under the pointer see it, as a hand would. */
static void ClickAt(int x, int y)
{
    MouseInput(x, y, MOUSEEVENTF_MOVE);
    Pause(200);
    MouseInput(x, y, MOUSEEVENTF_LEFTDOWN);
    Pause(50);
    MouseInput(x, y, MOUSEEVENTF_LEFTUP);
    Pause(200);
}

static void ClickOn(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

static BOOL BringToFront(HWND window)
{
    SetForegroundWindow(window);
    for (int i = 0; i < 100 && GetForegroundWindow() != window; i++)
        Pause(50);
    return GetForegroundWindow() == window;
}

int main(void)
{
    HWND client = WaitForWindow(kChatClientClasses[0], kFieldChild);
    HWND program = WaitForWindow("Lumaquill", 2);
    if (!client || !program)
        return 1;
    HWND box = GetWindow(program, GW_CHILD);
    HWND button = GetWindow(box, GW_HWNDNEXT);
    HWND transcript = GetWindow(client, GW_CHILD);
    if (!BringToFront(program))
        return 1;

    ClickOn(box);
    PasteText(kSample);
    DWORD_PTR length = 0;
    for (int i = 0; i < 100 && length == 0; i++) {
        Pause(100);
        SendMessageTimeoutA(box, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length);
    }
    /* Let the program finish the paste before the click arrives. */
    BringToFront(program);
    DWORD_PTR answer;
    SendMessageTimeoutA(program, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
    ClickOn(button);

    DWORD_PTR lines = 0;
    for (int i = 0; i < 100 && lines < (DWORD_PTR)kSampleLines; i++) {
        Pause(100);
        SendMessageTimeoutA(transcript, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &lines);
    }

    /* Open the menu over the program for the picture. */
    if (BringToFront(program)) {
        RECT r;
        GetWindowRect(program, &r);
        int menuY = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) +
                    GetSystemMetrics(SM_CYMENU) / 2;
        ClickAt(r.left + 40, menuY);
        Pause(500);
    }
    return lines >= (DWORD_PTR)kSampleLines ? 0 : 1;
}
