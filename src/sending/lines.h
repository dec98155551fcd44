/* Cutting the input box's text into the lines a pass delivers.
 * Free of <windows.h> on purpose: the caller supplies the code page's
 * lead-byte test, so this runs and is tested on any machine. */
#ifndef LUMAQUILL_LINES_H
#define LUMAQUILL_LINES_H

#include <stddef.h>

typedef int (*LeadByteTest)(unsigned char byte);

struct LineCursor {
    const char *text;
    size_t length;
    size_t position;
    size_t lineStart; /* where the line NextLine gave last begins */
    LeadByteTest isLeadByte;
};

void StartLines(LineCursor *cursor, const char *text, size_t length, LeadByteTest isLeadByte);

/* Hands out the next line as a slice of the text (never NUL-terminated,
 * possibly empty) and returns 1, or returns 0 once the text is used up.
 * A line break is CR LF or a lone CR; it belongs to no line, and a break
 * at the very end of the text adds no empty line after it. */
int NextLine(LineCursor *cursor, const char **line, size_t *lineLength);

/* Keeps the line NextLine gave last, with the line break that followed it,
 * by appending its bytes at kept + *keptLength and advancing *keptLength.
 * kept may be the text itself: what is kept never runs ahead of the cursor,
 * so the lines still to come are untouched. Keeping every line gives back
 * the text byte for byte. */
void KeepLine(const LineCursor *cursor, char *kept, size_t *keptLength);

/* Keeps, in the same way, the line NextLine gave last and all the text
 * after it, as it stands: for a pass that cannot go on, whose lines from
 * that one on never left. */
void KeepRest(const LineCursor *cursor, char *kept, size_t *keptLength);

#endif
