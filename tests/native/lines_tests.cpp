#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cp932.h"
#include "lines.h"

namespace {

// Cuts the text from an exact-sized heap copy with no NUL after it, so the
// sanitizer catches any read past its end.
std::vector<std::string> Cut(const std::string &text)
{
    std::unique_ptr<char[]> bytes(new char[text.size() ? text.size() : 1]);
    std::memcpy(bytes.get(), text.data(), text.size());
    LineCursor cursor;
    StartLines(&cursor, bytes.get(), text.size(), IsCp932LeadByte);
    std::vector<std::string> lines;
    const char *line;
    size_t length;
    while (NextLine(&cursor, &line, &length))
        lines.emplace_back(line, length);
    return lines;
}

struct CutCase {
    const char *label;
    std::string text;
    std::vector<std::string> lines; // "" is a line with no bytes: it goes out as a blank
};

void ExpectCuts(const std::vector<CutCase> &cases)
{
    for (const CutCase &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Cut(c.text), c.lines);
    }
}

TEST(Lines, LineBreaks)
{
    ExpectCuts({
        {"empty text", "", {}},
        {"one line", "abc", {"abc"}},
        {"final break adds nothing", "abc\r\n", {"abc"}},
        {"only a break", "\r\n", {""}},
        {"empty line between", "a\r\n\r\nb", {"a", "", "b"}},
        {"empty line at the end", "a\r\n\r\n", {"a", ""}},
        {"two breaks", "\r\n\r\n", {"", ""}},
        {"LF alone stays in its line", "a\nb", {"a\nb"}},
        {"spaces are kept", "   ", {"   "}},
        {"tab is kept", "a\tb", {"a\tb"}},
        {"three lines", "one\r\ntwo\r\nthree", {"one", "two", "three"}},
    });
}

TEST(Lines, LoneCarriageReturnKeepsWhatFollows)
{
    ExpectCuts({
        {"a CR b", "a\rb", {"a", "b"}},
        {"a CR b c", "a\rbc", {"a", "bc"}},
        {"a CR", "a\r", {"a"}},
        {"CR", "\r", {""}},
        {"CR then CR LF", "a\r\r\nb", {"a", "", "b"}},
        {"CR before a double-byte character", "a\r\x83\x41", {"a", "\x83\x41"}},
        {"LF CR LF", "\n\r\n", {"\n"}},
    });
}

TEST(Lines, DoubleByteCharactersStayWhole)
{
    ExpectCuts({
        // 送信 and テスト in code page 932
        {"Japanese line", "\x91\x97\x90\x4D", {"\x91\x97\x90\x4D"}},
        {"Japanese lines", "\x83\x65\x83\x58\x83\x67\r\n\x91\x97\x90\x4D\r\n",
         {"\x83\x65\x83\x58\x83\x67", "\x91\x97\x90\x4D"}},
        // trail bytes that look like CR and LF are part of their character
        {"trail byte 0x0D is no break", "\x81\x0D" "a", {"\x81\x0D" "a"}},
        {"trail byte 0x0A stays", "\x81\x0A\r\nb", {"\x81\x0A", "b"}},
        {"trail byte 0x5C", "\x83\x5C\r\n\x95\x5C", {"\x83\x5C", "\x95\x5C"}},
        {"half-width katakana is single-byte", "\xB1\r\n\xB2", {"\xB1", "\xB2"}},
    });
}

TEST(Lines, LeadByteAtTheEndIsDeliveredAsItIs)
{
    ExpectCuts({
        {"lone lead byte", "\x83", {"\x83"}},
        {"text ending in a lead byte", "ab\x83", {"ab\x83"}},
        {"lead byte before the final break is whole", "a\x83\r", {"a\x83\r"}},
        {"lead byte after a break", "a\r\n\xE0", {"a", "\xE0"}},
    });
}

// Cuts the text and keeps the lines whose numbers (from 1) are listed, in
// the text itself, as a pass keeps those that did not arrive; at line
// noMemoryAt (0: none) the pass ends, keeping that line and all after it.
std::string Kept(const std::string &text, const std::vector<int> &keep, int noMemoryAt = 0)
{
    std::unique_ptr<char[]> bytes(new char[text.size() ? text.size() : 1]);
    std::memcpy(bytes.get(), text.data(), text.size());
    LineCursor cursor;
    StartLines(&cursor, bytes.get(), text.size(), IsCp932LeadByte);
    const char *line;
    size_t length, kept = 0;
    for (int number = 1; NextLine(&cursor, &line, &length); number++) {
        if (number == noMemoryAt) {
            KeepRest(&cursor, bytes.get(), &kept);
            break;
        }
        for (int k : keep)
            if (k == number)
                KeepLine(&cursor, bytes.get(), &kept);
    }
    return std::string(bytes.get(), kept);
}

TEST(Lines, KeptLinesStayAsTheUserWroteThem)
{
    struct {
        const char *label;
        std::string text;
        std::vector<int> keep;
        int noMemoryAt;
        std::string kept;
    } cases[] = {
        {"none", "a\r\nb", {}, 0, ""},
        {"all give the text back", "a\r\n\r\nb\rc\r\n", {1, 2, 3, 4}, 0, "a\r\n\r\nb\rc\r\n"},
        {"the middle one, with its break", "a\r\nb\r\nc", {2}, 0, "b\r\n"},
        {"the last one has no break to keep", "a\r\nb", {2}, 0, "b"},
        {"an empty line is its break", "a\r\n\r\nc", {2}, 0, "\r\n"},
        {"a lone CR is kept as it was", "a\rb", {1}, 0, "a\r"},
        {"first and last close up", "a\r\nb\r\nc\r\n", {1, 3}, 0, "a\r\nc\r\n"},
        {"a trail byte 0x0D stays in its line", "\x81\x0D" "a\r\nb", {1}, 0, "\x81\x0D" "a\r\n"},
        {"no memory at the first line keeps the text whole", "a\rb\r\n", {}, 1, "a\rb\r\n"},
        {"no memory after one kept and one sent", "a\r\nb\r\n\x91\x97\r\n\r\nd", {1}, 3,
         "a\r\n\x91\x97\r\n\r\nd"},
        {"no memory at the last line, with its final break", "a\r\nb\r\n", {}, 2, "b\r\n"},
        {"no memory at an empty line after a lone CR", "a\r\rb", {}, 2, "\rb"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Kept(c.text, c.keep, c.noMemoryAt), c.kept);
    }
}

TEST(Lines, LengthIsWhatTheCallerGives)
{
    // Bytes past the given length are not the user's and are never read.
    const char text[] = "abc\0\0\0";
    LineCursor cursor;
    StartLines(&cursor, text, 3, IsCp932LeadByte);
    const char *line;
    size_t length;
    ASSERT_TRUE(NextLine(&cursor, &line, &length));
    EXPECT_EQ(std::string(line, length), "abc");
    EXPECT_FALSE(NextLine(&cursor, &line, &length));
    EXPECT_FALSE(NextLine(&cursor, &line, &length)) << "an ended cursor stays ended";
}

} // namespace
