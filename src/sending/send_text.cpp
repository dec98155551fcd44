#include <string.h>
#include "../common/app.h"
#include "lines.h"
#include "sending.h"

enum LineOutcome { kLineNotDelivered, kLineDelivered, kLineNoMemory };

static int IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte);
}

static LineOutcome DeliverSlice(const char *line, size_t length)
{
    if (length == 0)
        return DeliverLine(kBlankLineText) ? kLineDelivered : kLineNotDelivered;
    HANDLE heap = GetProcessHeap();
    char *copy = (char *)HeapAlloc(heap, HEAP_ZERO_MEMORY, length + 1);
    if (!copy)
        return kLineNoMemory;
    memcpy(copy, line, length);
    int delivered = DeliverLine(copy);
    HeapFree(heap, 0, copy);
    return delivered ? kLineDelivered : kLineNotDelivered;
}

void SendText(void)
{
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
     * the pass goes, so that erasing takes away only what was sent. */
    LineCursor cursor;
    const char *line;
    size_t lineLength;
    size_t kept = 0;
    LineOutcome outcome = kLineDelivered;
    StartLines(&cursor, text, length, IsLeadByte);
    while (outcome != kLineNoMemory && NextLine(&cursor, &line, &lineLength)) {
        outcome = DeliverSlice(line, lineLength);
        if (outcome == kLineNotDelivered)
            KeepLine(&cursor, text, &kept);
    }

    /* A pass cut short by lack of memory leaves the box as it was, so the
     * user can send the rest again; one that delivered nothing leaves it
     * untouched too. */
    if (appSettings.eraseAfterSend && outcome != kLineNoMemory && kept < length) {
        text[kept] = '\0';
        SetWindowTextA(inputBox, text);
    }
    HeapFree(heap, 0, text);
}
