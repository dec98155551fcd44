// Cuts arbitrary bytes into lines and checks that the lines account for the
// text exactly: each line is a slice of the text, the slices come in order,
// and what lies between them is one line break (CR, or CR LF), so every
// other byte is delivered once. No line may hold a CR where a character
// starts. The text sits in an exact-sized heap buffer, so the sanitizer
// stops any read past it. Some lines are kept, in the text itself, as a
// pass keeps those that did not arrive: each must come out with its break,
// as it stood, in order. A pass may end at a line that finds no memory:
// that line and all the text after it must then be kept as they stand.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../native/cp932.h"
#include "lines.h"

static void Check(bool condition)
{
    if (!condition)
        abort();
}

static size_t BreakLength(const char *text, size_t at, size_t end)
{
    if (at >= end || text[at] != '\r')
        return 0;
    return at + 1 < end && text[at + 1] == '\n' ? 2 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *text = static_cast<char *>(malloc(size ? size : 1));
    if (size)
        memcpy(text, data, size);

    LineCursor cursor;
    StartLines(&cursor, text, size, IsCp932LeadByte);
    const char *line;
    size_t length;
    size_t expected = 0; // where the next line must start
    int lines = 0;
    std::string keptAsWritten;
    size_t kept = 0;
    while (NextLine(&cursor, &line, &length)) {
        Check(line == text + expected);
        Check(length <= size - expected);
        for (size_t i = 0; i < length;) {
            Check(line[i] != '\r');
            i += IsCp932LeadByte(static_cast<unsigned char>(line[i])) && i + 1 < length ? 2 : 1;
        }
        size_t end = expected + length;
        size_t gap = BreakLength(text, end, size);
        Check(end == size || gap > 0); // a line ends at a break or at the end of the text
        // Which lines are kept, and where memory runs out, follow from the
        // input, so every choice is tried.
        if (lines + 1 == data[size - 1] % 16) {
            keptAsWritten.append(reinterpret_cast<const char *>(data) + (end - length), size - (end - length));
            KeepRest(&cursor, text, &kept);
            expected = size;
            break;
        }
        if ((data[0] >> (lines % 8)) & 1) {
            keptAsWritten.append(reinterpret_cast<const char *>(data) + (end - length), length + gap);
            KeepLine(&cursor, text, &kept);
        }
        expected = end + gap;
        Check(++lines <= static_cast<int>(size));
    }
    Check(expected == size); // nothing left over, nothing skipped
    Check(kept == keptAsWritten.size() && memcmp(text, keptAsWritten.data(), kept) == 0);
    free(text);
    return 0;
}
