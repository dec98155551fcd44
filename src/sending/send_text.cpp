#include <string.h>
#include "../common/app.h"
#include "lines.h"
#include "sending.h"

/* A pass answers messages other programs send while it waits, and a Send
 * may be among them: a pass inside the pass would type lines twice and out
 * of order, so that Send is not taken. */
static int passRunning;

static int IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte);
}

static LineOutcome DeliverSlice(const char *line, size_t length)
{
    if (length == 0)
        return DeliverLine(kBlankLineText);
    HANDLE heap = GetProcessHeap();
    char *copy = (char *)HeapAlloc(heap, HEAP_ZERO_MEMORY, length + 1);
    if (!copy)
        return kLineEndsPass;
    memcpy(copy, line, length);
    LineOutcome outcome = DeliverLine(copy);
    HeapFree(heap, 0, copy);
    return outcome;
}

void SendText(void)
{
    if (passRunning)
        return;
    int reported = GetWindowTextLengthA(inputBox);
    if (reported <= 0)
        return;

    HANDLE heap = GetProcessHeap();
    char *text = (char *)HeapAlloc(heap, HEAP_ZERO_MEMORY, (SIZE_T)reported + 1);
    if (!text)
        return;
    /* The reported length may exceed what is copied; only the copied bytes
     * are the user's text. */
    int copied = GetWindowTextA(inputBox, text, reported + 1);
    size_t length = copied > 0 ? (size_t)copied : 0;

    /* The lines that did not arrive are gathered at the start of the text as
     * the pass goes, so that erasing takes away only what was sent. A line
     * that ends the pass (the user stopped it, or it found no memory) and
     * every line after it never left, so they stay too, as they stand. */
    LineCursor cursor;
    const char *line;
    size_t lineLength;
    size_t kept = 0;
    passRunning = 1;
    StartStopWatch();
    StartLines(&cursor, text, length, IsLeadByte);
    while (NextLine(&cursor, &line, &lineLength)) {
        LineOutcome outcome = DeliverSlice(line, lineLength);
        if (outcome == kLineEndsPass) {
            KeepRest(&cursor, text, &kept);
            break;
        }
        if (outcome == kLineNotDelivered)
            KeepLine(&cursor, text, &kept);
    }
    EndStopWatch();
    passRunning = 0;

    /* A pass that delivered nothing leaves the box untouched, and a window
     * closed during the pass took its box with it. Should the box refuse its
     * new text, it keeps the old: a line may then go twice, but none is
     * lost. */
    if (appSettings.eraseAfterSend && kept < length && IsWindow(inputBox)) {
        text[kept] = '\0';
        SetWindowTextA(inputBox, text);
    }
    HeapFree(heap, 0, text);
}
