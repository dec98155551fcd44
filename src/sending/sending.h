/* Typing the input box's lines into the chosen chat client. */
#ifndef LUMAQUILL_SENDING_H
#define LUMAQUILL_SENDING_H

#include <windows.h>

/* Window class names of the three chat clients, as code page 932 bytes,
 * indexed by AppSettings::targetIndex. These are the clients' own class
 * names, not the labels our menu shows for them. */
extern const char *const TargetTable[3];

static const DWORD kFocusDelayMs = 500;       /* let the raised client settle before typing */
static const int kSiblingSteps = 7;           /* the chat input field is the client's eighth child */
static const LPARAM kEnterKeyData = 0x001C0001; /* repeat 1, scan code 0x1C, key was up */
static const UINT kClientTimeoutMs = 2000;    /* longest a client that stopped answering may hold us, per line */
static const char kBlankLineText[] = " ";     /* the clients ignore an empty line, so send a space */
static const UINT kStopKey = VK_ESCAPE;       /* ends a pass before its next line */
static const int kStopHotKeyId = 1;           /* our claim on the stop key while a pass runs */
static const DWORD kStopKeyLookMs = 20;       /* how often the key is looked at when another program holds it */
static const DWORD kStopKeyReleaseMs = 2000;  /* longest a stopped pass keeps the key from the client while held */

/* What became of one line. A line not delivered was typed nowhere, or left
 * in the field without Enter. A line that ends the pass never left either,
 * and neither will any line after it: the user stopped the pass, our window
 * went away, or memory ran out. */
enum LineOutcome { kLineNotDelivered, kLineDelivered, kLineEndsPass };

LineOutcome DeliverLine(const char *line);
void SendText(void);

/* The stop key, watched for the length of one pass. StartStopWatch claims
 * it, so that a press ends the pass without reaching the chat client;
 * PassStopped returns 1 once the pass is to end (the key was pressed, or
 * our window is gone); WaitUnlessStopped waits like Sleep, but returns 1 at
 * once when the pass is to end; EndStopWatch gives the key back. */
void StartStopWatch(void);
int PassStopped(void);
int WaitUnlessStopped(DWORD ms);
void EndStopWatch(void);

#endif
