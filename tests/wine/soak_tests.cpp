// Longer runs of the program against the stand-in: many passes in a row, a
// client that goes away in the middle of a pass, and one that stops answering.
#include <gtest/gtest.h>

#include <map>

#include "harness.h"

namespace {

// Japanese chat lines in code page 932, with trail bytes that look like
// ASCII (0x5C, 0x40, 0x7C) and half-width katakana among them.
const char *const kPhrases[] = {
    "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd",       // こんにちは
    "\x83\x5c\x83\x74\x83\x67\x95\x5c\x8e\xa6",       // ソフト表示
    "\x8d\xa1\x93\xfa\x82\xcd OK \x81\x40!",          // 今日は OK　!
    "\xb6\xc0\xb6\xc5 half-width",                    // ｶﾀｶﾅ half-width
    "\x83\x7c\x83\x43\x83\x93\x83\x67 #",             // ポイント #
    "\x8e\x84\x82\xcd\x8c\xb3\x8b\x43\x82\xc5\x82\xb7", // 私は元気です
};

std::string Joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); i++)
        text += (i ? "\r\n" : "") + lines[i];
    return text;
}

TEST(Soak, SixtyPassesArriveExactlyInOrderOnce)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client;
    ASSERT_TRUE(client.Window());
    std::vector<std::string> sent;
    for (int pass = 0; pass < 60; pass++) {
        std::vector<std::string> lines;
        for (int i = 0; i <= pass % 3; i++)
            lines.push_back(std::string(kPhrases[(pass + i) % 6]) + " " + std::to_string(pass) + "." +
                            std::to_string(i));
        program.SetBoxText(Joined(lines) + (pass % 4 == 0 ? "\r\n" : ""));
        program.Command(command::kSend);
        ASSERT_TRUE(program.Settle()) << "pass " << pass;
        sent.insert(sent.end(), lines.begin(), lines.end());
    }
    std::vector<Record> records = client.Records();
    EXPECT_EQ(LinesOf(records), sent);
    // Exactly the messages of those lines reached the field, nothing more.
    std::vector<std::string> rows;
    for (const Record &r : records)
        rows.push_back(r.Row());
    EXPECT_EQ(rows, DeliveredRows(sent));
}

TEST(Soak, ClientClosingInThePassLeavesTheProgramRunning)
{
    Program program;
    ASSERT_TRUE(program.Main());
    std::vector<std::string> lines = {"one", "two", "three", "four", "five"};
    {
        StandIn client;
        ASSERT_TRUE(client.Window());
        program.SetBoxText(Joined(lines));
        program.Command(command::kSend);
        ASSERT_TRUE(WaitUntil([&] { return LinesOf(client.Records()).size() >= 1; }));
        PostMessageA(client.Window(), WM_CLOSE, 0, 0);
        EXPECT_EQ(client.Proc().WaitForExit(), 0u);
        ASSERT_TRUE(program.Settle()) << "the pass ends";
        std::vector<std::string> got = LinesOf(client.Records());
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got, std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(got.size())))
            << "what arrived came in order, once";
    }
    EXPECT_EQ(program.Proc().WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    StandIn reopened;
    ASSERT_TRUE(reopened.Window());
    program.SetBoxText("again");
    program.Command(command::kSend);
    ASSERT_TRUE(program.Settle());
    EXPECT_EQ(reopened.Rows(), DeliveredRows({"again"}));
}

TEST(Soak, HungClientNeverGetsALineTwice)
{
    const int hangSeconds = 4;
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client(0, 9, "--hang " + std::to_string(hangSeconds));
    ASSERT_TRUE(client.Window());
    std::vector<std::string> lines = {"h1", "h2", "h3", "h4"};
    program.SetBoxText(Joined(lines));
    DWORD start = GetTickCount();
    program.Command(command::kSend);
    ASSERT_TRUE(program.Settle());
    // Each line costs at most its focus delay and the bound.
    EXPECT_LE(GetTickCount() - start, lines.size() * (kLineWaitMs + kStalledClientMs) + 2000);

    Pause(hangSeconds * 1000);
    std::map<std::string, int> texts, sentLines;
    for (const Record &r : client.Records()) {
        if (r.what == "SETTEXT")
            texts[r.bytes]++;
        if (r.what == "LINE")
            sentLines[r.bytes]++;
    }
    EXPECT_EQ(sentLines.count("h1"), 0u) << "the line it hung on gets no Enter";
    for (const std::string &line : lines) {
        SCOPED_TRACE(line);
        EXPECT_LE(texts[line], 1);
        EXPECT_LE(sentLines[line], 1);
    }
    program.SetBoxText("after");
    program.Command(command::kSend);
    ASSERT_TRUE(program.Settle());
    EXPECT_EQ(LinesOf(client.Records()).back(), "after");
}

} // namespace
