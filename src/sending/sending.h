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

/* Returns 1 when the line was delivered: the client took its text and its
 * Enter is on the way. A line not delivered was typed nowhere, or left in
 * the field without Enter. */
int DeliverLine(const char *line);
void SendText(void);

#endif
