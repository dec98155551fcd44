/* The stop key. While a pass runs, Esc is ours: a press ends the pass before
 * its next line, wherever the keyboard focus is (normally in the chat client
 * the pass brought to the front), and never reaches that client, where it
 * could close a dialog or cancel an IME composition. Outside a pass the key
 * goes where it always goes. */
#include "../common/app.h"
#include "sending.h"

static int claimed; /* the key's presses come to us as WM_HOTKEY, not to the client */
static int stopped; /* once the pass is to end, the rest of it goes at once */
static int wasDown; /* the key at the last look, where another program holds it */

/* What wakes a wait: a press of the claimed key, or a message another
 * program sends us, which must be answered. Nothing posted or typed. */
static const DWORD kWakeFor = QS_HOTKEY | QS_SENDMESSAGE;

static int KeyIsDown(void)
{
    return (GetAsyncKeyState(kStopKey) & 0x8000) != 0;
}

/* Takes every press of the claimed key from our queue, and nothing else:
 * clicks and keys meant for our own window still wait for the pass's end.
 * Looking is also what keeps Windows from taking our window for hung, which
 * it does once the thread has not looked at its queue for 5 seconds, and
 * lets messages other programs send us be answered meanwhile. */
static int TakeStopPresses(void)
{
    int pressed = 0;
    MSG message;
    while (PeekMessageA(&message, NULL, WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) {
        /* The quit that a window closed meanwhile asked for comes through
         * any filter: it goes back for the message loop, and ends the pass. */
        if (message.message == WM_QUIT) {
            PostQuitMessage((int)message.wParam);
            return 1;
        }
        if (message.wParam == (WPARAM)kStopHotKeyId)
            pressed = 1;
    }
    return pressed;
}

void StartStopWatch(void)
{
    stopped = 0;
    claimed = RegisterHotKey(NULL, kStopHotKeyId, 0, kStopKey) ? 1 : 0;
    /* Where the key cannot be claimed its state is read instead. This first
     * read takes the "pressed since the last read" mark that a press from
     * before the pass left, so that it does not count. */
    wasDown = KeyIsDown();
}

int PassStopped(void)
{
    if (TakeStopPresses())
        stopped = 1;
    if (!claimed) {
        SHORT state = GetAsyncKeyState(kStopKey);
        int down = (state & 0x8000) != 0;
        if ((state & 1) || (down && !wasDown))
            stopped = 1;
        wasDown = down;
    }
    /* Our window closed from outside while we waited: its box is gone, and
     * nothing is left to send from. Where the quit it asked for is left in
     * the queue by a filtered look, as Windows may leave it, this is what
     * ends the pass. */
    if (!IsWindow(inputBox))
        stopped = 1;
    return stopped;
}

/* Waits as Sleep would, never less than ms, but wakes for a press of the
 * claimed key or a message sent to us, and otherwise idles. An unclaimed
 * key is looked at in short slices; a tap that falls between two looks
 * still leaves its mark. */
int WaitUnlessStopped(DWORD ms)
{
    LARGE_INTEGER frequency, start, now;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) {
        Sleep(ms);
        return PassStopped();
    }
    QueryPerformanceCounter(&start);
    for (;;) {
        if (PassStopped())
            return 1;
        QueryPerformanceCounter(&now);
        LONGLONG waited = (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
        if (waited >= (LONGLONG)ms)
            return 0;
        DWORD slice = ms - (DWORD)waited;
        if (!claimed && slice > kStopKeyLookMs)
            slice = kStopKeyLookMs;
        MsgWaitForMultipleObjects(0, NULL, FALSE, slice, kWakeFor);
    }
}

void EndStopWatch(void)
{
    if (!claimed)
        return;
    /* A held key repeats. Given back while still held, its repeats would
     * reach the client, so it stays ours until it is let go, for a while at
     * most, as a key's state can stick. */
    DWORD start = GetTickCount();
    while (stopped && KeyIsDown() && GetTickCount() - start < kStopKeyReleaseMs) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, kStopKeyLookMs, kWakeFor);
        TakeStopPresses();
    }
    UnregisterHotKey(NULL, kStopHotKeyId);
    claimed = 0;
    TakeStopPresses();
}
