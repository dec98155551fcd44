#include <string.h>
#include "../common/app.h"
#include "lines.h"
#include "sending.h"

static int IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte);
}

/* Returns 0 when there was no memory for the line, which ends the pass. */
static int DeliverSlice(const char *line, size_t length)
{
    if (length == 0) {
        DeliverLine(kBlankLineText);
        return 1;
    }
    HANDLE heap = GetProcessHeap();
    char *copy = (char *)HeapAlloc(heap, HEAP_ZERO_MEMORY, length + 1);
    if (!copy)
        return 0;
    memcpy(copy, line, length);
    DeliverLine(copy);
    HeapFree(heap, 0, copy);
    return 1;
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

    LineCursor cursor;
    const char *line;
    size_t length;
    int complete = 1;
    StartLines(&cursor, text, copied > 0 ? (size_t)copied : 0, IsLeadByte);
    while (complete && NextLine(&cursor, &line, &length))
        complete = DeliverSlice(line, length);
    HeapFree(heap, 0, text);

    /* A pass cut short by lack of memory leaves the box as it was, so the
     * user can send the rest again. */
    if (complete && appSettings.eraseAfterSend)
        SetWindowTextA(inputBox, "");
}
