// A send pass run in this process, with an edit control of ours as the input
// box, typing into the stand-in chat client running as a process of its own.
#include <gtest/gtest.h>

#include <memory>

#include "app.h"
#include "harness.h"
#include "sending.h"

namespace {

// The input box, with a recording window procedure on it so the tests can
// see whether the pass rewrote its text.
WNDPROC editProc;
int boxTextWrites;
LRESULT lengthOverstatedBy; // a box that reports more text than it copies

LRESULT CALLBACK RecordingEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        boxTextWrites++;
    LRESULT result = CallWindowProcA(editProc, window, message, wParam, lParam);
    return message == WM_GETTEXTLENGTH ? result + lengthOverstatedBy : result;
}

class SendPass : public ::testing::Test {
protected:
    void SetUp() override
    {
        appSettings = AppSettings{0, 0, 0};
        lengthOverstatedBy = 0;
        mainWindow = CreateWindowExA(0, "STATIC", "sending tests", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 400,
                                     300, 200, NULL, NULL, GetModuleHandleA(NULL), NULL);
        inputBox = CreateWindowExA(0, "EDIT", NULL, WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 280, 150,
                                   mainWindow, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_TRUE(inputBox);
        editProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(inputBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingEditProc)));
    }
    void TearDown() override
    {
        DestroyWindow(mainWindow);
        mainWindow = inputBox = NULL;
    }
    void Type(const std::string &text)
    {
        SetWindowTextA(inputBox, text.c_str());
        boxTextWrites = 0;
    }
    std::string BoxText()
    {
        char text[4096] = "";
        GetWindowTextA(inputBox, text, sizeof text);
        return text;
    }
};

TEST(Environment, RunsInCodePage932As32BitOn64BitWindows)
{
    EXPECT_EQ(GetACP(), 932u) << "run under Wine with LC_ALL=ja_JP.UTF-8";
    // The tests are built as the product is, and run as users run it: a
    // 32-bit program on 64-bit Windows.
    EXPECT_EQ(sizeof(void *), 4u);
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
    IsWow64ProcessFunction isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    ASSERT_TRUE(isWow64);
    EXPECT_TRUE(isWow64(GetCurrentProcess(), &wow64));
    EXPECT_TRUE(wow64) << "a 32-bit process on 64-bit Windows";
}

struct PassCase {
    const char *label;
    std::string box;
    std::vector<std::string> lines;
};

TEST_F(SendPass, EachLineArrivesByteForByteInTheEighthChildOnly)
{
    const PassCase cases[] = {
        {"two lines", "abc\r\ndef", {"abc", "def"}},
        // こんにちは / 送信: trail bytes 0x5C and 0x4D must not be split or read as breaks
        {"Japanese", "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\r\n\x91\x97\x90\x4D\x83\x5C", 
         {"\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd", "\x91\x97\x90\x4D\x83\x5C"}},
        {"empty line goes out as a space", "a\r\n\r\nb", {"a", " ", "b"}},
        {"final line break adds nothing", "x\r\n", {"x"}},
        {"a line of spaces is unchanged", "   ", {"   "}},
    };
    StandIn client;
    ASSERT_TRUE(client.Window());
    size_t seen = 0;
    for (const PassCase &c : cases) {
        SCOPED_TRACE(c.label);
        Type(c.box);
        SendText();
        std::vector<std::string> rows = client.Rows();
        std::vector<std::string> pass(rows.begin() + static_cast<long>(seen), rows.end());
        seen = rows.size();
        EXPECT_EQ(pass, DeliveredRows(c.lines));
    }
}

TEST_F(SendPass, ConsecutiveLinesAreAtLeastTheFocusDelayApart)
{
    StandIn client;
    ASSERT_TRUE(client.Window());
    Type("1\r\n2\r\n3");
    SendText();
    std::vector<unsigned long long> texts;
    for (const Record &r : client.Records())
        if (r.what == "SETTEXT")
            texts.push_back(r.microseconds);
    ASSERT_EQ(texts.size(), 3u);
    for (size_t i = 1; i < texts.size(); i++)
        EXPECT_GE(texts[i] - texts[i - 1], kFocusDelayMs * 1000ULL) << "between lines " << i << " and " << i + 1;
}

TEST_F(SendPass, WithNoClientOpenNothingWaits)
{
    Type("1\r\n2\r\n3");
    DWORD start = GetTickCount();
    SendText();
    // Three lines into an open client take at least three focus delays.
    EXPECT_LT(GetTickCount() - start, kFocusDelayMs);
}

TEST_F(SendPass, AClientWithoutAnEighthChildGetsNothing)
{
    StandIn client(0, 3);
    ASSERT_TRUE(client.Window());
    SetForegroundWindow(mainWindow);
    WaitUntil([this] { return GetForegroundWindow() == mainWindow; });
    SetFocus(inputBox);
    ASSERT_EQ(GetFocus(), inputBox);
    Type("a\r\nb");
    SendText();
    // Read before our queue is pumped: the raised client's activation reaches
    // this thread only then, and would take the focus away in its own right.
    EXPECT_EQ(GetFocus(), inputBox) << "our box keeps the keyboard focus";
    // Nothing meant for the missing field may end up in our own queue.
    MSG stray;
    EXPECT_FALSE(PeekMessageA(&stray, NULL, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        << "key message " << stray.message << " for window " << stray.hwnd;
    EXPECT_EQ(client.Rows(), std::vector<std::string>{});
}

TEST_F(SendPass, OnlyTheClientTheLookupReturnsGetsTheLines)
{
    StandIn first, second;
    ASSERT_TRUE(first.Window());
    ASSERT_TRUE(second.Window());
    HWND chosen = FindWindowA(kChatClientClasses[0], NULL);
    ASSERT_TRUE(chosen == first.Window() || chosen == second.Window());
    StandIn &receiver = chosen == first.Window() ? first : second;
    StandIn &other = chosen == first.Window() ? second : first;
    Type("one\r\ntwo");
    SendText();
    EXPECT_EQ(receiver.Rows(), DeliveredRows({"one", "two"}));
    EXPECT_EQ(other.Rows(), std::vector<std::string>{});
}

TEST_F(SendPass, EachRowLooksUpItsOwnClassName)
{
    StandIn jchat(0), chitchat(1), habitat(2);
    StandIn *clients[3] = {&jchat, &chitchat, &habitat};
    for (int row = 0; row < 3; row++) {
        SCOPED_TRACE("row " + std::to_string(row));
        ASSERT_TRUE(clients[row]->Window());
        appSettings.targetIndex = row;
        std::string line = "row" + std::to_string(row);
        Type(line);
        SendText();
        for (int other = 0; other < 3; other++)
            EXPECT_EQ(clients[other]->Rows(), other <= row ? DeliveredRows({"row" + std::to_string(other)})
                                                            : std::vector<std::string>{})
                << "client " << other;
    }
}

struct EraseCase {
    const char *label;
    bool clientOpen;
    LONG erase;
    std::string box;
    std::string boxAfter;
    int textWrites;
};

TEST_F(SendPass, EraseOptionEmptiesTheBoxAfterThePass)
{
    const EraseCase cases[] = {
        {"erase on, client open", true, 1, "hello", "", 1},
        {"erase off, client open", true, 0, "hello", "hello", 0},
        {"erase on, client closed", false, 1, "hello", "", 1},
        {"erase on, empty box is left alone", false, 1, "", "", 0},
    };
    for (const EraseCase &c : cases) {
        SCOPED_TRACE(c.label);
        std::unique_ptr<StandIn> client(c.clientOpen ? new StandIn : nullptr);
        appSettings.eraseAfterSend = c.erase;
        Type(c.box);
        SendText();
        EXPECT_EQ(BoxText(), c.boxAfter);
        EXPECT_EQ(boxTextWrites, c.textWrites);
        if (client) {
            EXPECT_EQ(client->Rows(), DeliveredRows({"hello"}));
        }
    }
}

TEST_F(SendPass, AHungClientCostsAtMostTheBoundAndNothingTwice)
{
    const int hangSeconds = 6;
    StandIn client(0, 9, hangSeconds);
    ASSERT_TRUE(client.Window());
    Type("first\r\nsecond");
    DWORD start = GetTickCount();
    SendText();
    DWORD elapsed = GetTickCount() - start;
    // Each line may cost its focus delay plus the bound, never the whole hang.
    EXPECT_LE(elapsed, 2 * (kFocusDelayMs + kClientTimeoutMs) + 1000);

    // Once it answers again, whatever it took was taken once and got no Enter.
    Pause((hangSeconds + 1) * 1000 - elapsed);
    int enters = 0, firstTexts = 0;
    for (const Record &r : client.Records()) {
        enters += r.what == "KEYDOWN";
        firstTexts += r.what == "SETTEXT" && r.bytes == "first";
    }
    EXPECT_EQ(enters, 0) << "a line the client did not take in time gets no Enter";
    EXPECT_EQ(firstTexts, 1);

    // The client recovered: the next pass is delivered.
    Type("third");
    SendText();
    std::vector<std::string> rows = client.Rows();
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(rows.end() - 3, rows.end()), DeliveredRows({"third"}));
}


TEST_F(SendPass, AClientIdleForLongIsNotTakenForHung)
{
    StandIn client;
    ASSERT_TRUE(client.Window());
    // A chat window nobody touched for a while is waiting for input, not hung.
    Pause(7000);
    Type("after a quiet spell");
    SendText();
    EXPECT_EQ(client.Rows(), DeliveredRows({"after a quiet spell"}));
}


TEST_F(SendPass, OnlyTheTextActuallyCopiedIsSent)
{
    StandIn client;
    ASSERT_TRUE(client.Window());
    lengthOverstatedBy = 3;
    Type("abc");
    SendText();
    EXPECT_EQ(client.Rows(), DeliveredRows({"abc"})) << "no blank line the user never typed";
}

} // namespace
