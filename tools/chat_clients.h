/* The stand-in chat client's protocol, for every program that starts it,
 * looks for it or reads what it saw: the stand-in itself, the demo, the
 * tests and the benchmarks. The program keeps its own copy of the class
 * names in its target table on purpose, so that a wrong byte there shows up
 * as a client the tests' stand-in never hears from. */
#ifndef LUMAQUILL_CHAT_CLIENTS_H
#define LUMAQUILL_CHAT_CLIENTS_H

#include <windows.h>
#include <stdlib.h>
#include <string.h>

/* The three chat clients' window class names, as code page 932 bytes. */
static const char *const kChatClientClasses[3] = {
    "J-\x83\x60\x83\x83\x83\x62\x83\x67",                 /* Ｊチャット */
    ("\x83\x54\x83\x93\x83\x8A\x83\x49\x81\x40\x83\x60\x83\x62"
     "\x83\x67\x81\x45\x83\x60\x83\x83\x83\x62\x83\x67"), /* サンリオ チットチャット */
    "gracevil",                                          /* HabitatⅡVer2 */
};

/* A chat client's input field is its eighth child, counting from 1 in
 * sibling order; the stand-in's first child is its transcript. */
static const int kFieldChild = 8;

/* What a sender gives a chat client, in the senders' own words (the program
 * keeps its own copy): half a second to settle after it is raised before a
 * line is typed, then the line's Enter key-down with this key data (repeat
 * count 1, scan code 0x1C, the key up before). */
static const DWORD kLineWaitMs = 500;
static const LPARAM kEnterKeyLParam = 0x001C0001;

/* Posted to the stand-in's window by whoever reads its log: it is logged as
 * SYNC with the wParam it came with, after everything queued before it. */
static const UINT kSyncMessage = WM_APP + 1;

/* Sent by the stand-in started with --tell WINDOW to that window as each
 * text arrives in one of its children, wParam the text's number from 1; it
 * takes the text only once the window has answered, so whoever sent the
 * text is still waiting for it, and can act at that very point of a pass. */
static const UINT kTextArrivingMessage = WM_APP + 2;

/* The log, one record a line, fields apart by one space, CR LF at the end:
 *
 *   <microseconds> <child> <what> <wParam> <lParam> <front> <text>
 *
 * microseconds: ClockMicroseconds() as the stand-in logged the record;
 * child: 1 to N in sibling order, 0 for the stand-in's own window (SYNC,
 *   and the keys typed to that window itself, where activation leaves the
 *   keyboard focus);
 * what: SETTEXT, KEYDOWN, KEYUP, CHAR, SYSKEYDOWN, SYSKEYUP, SYSCHAR, LINE
 *   (Enter taken in the field: the line that was sent) or SYNC;
 * wParam, lParam: in hexadecimal (lParam 0 for SETTEXT, whose is a pointer);
 * front: 1 when the stand-in was the foreground window at that moment;
 * text: the text's bytes in hexadecimal, or "-" for none. */

/* One clock for every process on the machine, so that the stand-in's stamps
 * and a test's or benchmark's times can be subtracted. Whole seconds and
 * the rest apart, so that large counter values lose no precision. */
static inline unsigned long long ClockMicroseconds(void)
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return (unsigned long long)(now.QuadPart / frequency.QuadPart) * 1000000ULL +
           (unsigned long long)(now.QuadPart % frequency.QuadPart) * 1000000ULL /
               (unsigned long long)frequency.QuadPart;
}

/* The text after "--name" on a command line, or NULL. */
static inline const char *ArgumentText(int argc, char **argv, const char *name)
{
    for (int i = 1; i + 1 < argc; i++)
        if (!strcmp(argv[i], name))
            return argv[i + 1];
    return NULL;
}

static inline int ArgumentFlag(int argc, char **argv, const char *name)
{
    for (int i = 1; i < argc; i++)
        if (!strcmp(argv[i], name))
            return 1;
    return 0;
}

static inline int ArgumentNumber(int argc, char **argv, const char *name, int fallback)
{
    const char *text = ArgumentText(argc, argv, name);
    return text ? atoi(text) : fallback;
}

#endif
