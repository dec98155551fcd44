#include <string.h>
#include "lines.h"

static const char kCR = '\r';
static const char kLF = '\n';

void StartLines(LineCursor *cursor, const char *text, size_t length, LeadByteTest isLeadByte)
{
    cursor->text = text;
    cursor->length = length;
    cursor->position = 0;
    cursor->lineStart = 0;
    cursor->isLeadByte = isLeadByte;
}

int NextLine(LineCursor *cursor, const char **line, size_t *lineLength)
{
    const char *text = cursor->text;
    size_t end = cursor->length;
    size_t start = cursor->position;
    size_t p = start;

    if (start >= end)
        return 0;

    /* Look for CR only where a character starts: the trail byte of a
     * double-byte character may be any value, and must never end a line.
     * A lead byte with nothing after it is taken as a character by itself. */
    while (p < end && text[p] != kCR) {
        if (cursor->isLeadByte((unsigned char)text[p]) && p + 1 < end)
            p += 2;
        else
            p += 1;
    }
    *line = text + start;
    *lineLength = p - start;

    /* Only an LF right after the CR belongs to the break; anything else is
     * the user's next line and is kept. */
    if (p < end) {
        p += 1;
        if (p < end && text[p] == kLF)
            p += 1;
    }
    cursor->lineStart = start;
    cursor->position = p;
    return 1;
}

static void KeepFrom(const LineCursor *cursor, size_t end, char *kept, size_t *keptLength)
{
    size_t length = end - cursor->lineStart;
    memmove(kept + *keptLength, cursor->text + cursor->lineStart, length);
    *keptLength += length;
}

void KeepLine(const LineCursor *cursor, char *kept, size_t *keptLength)
{
    KeepFrom(cursor, cursor->position, kept, keptLength);
}

void KeepRest(const LineCursor *cursor, char *kept, size_t *keptLength)
{
    KeepFrom(cursor, cursor->length, kept, keptLength);
}
