// lumaquill.exe driven as a user drives it, as a process of its own, with the
// stand-in chat client beside it.
#include <gtest/gtest.h>

#include "harness.h"

#include <memory>

namespace {

const DWORD kInputBoxStyle = 0x50A00044;
const DWORD kSendButtonStyle = 0x50000000;
const int kButtonHeight = 32;

std::string ClassOf(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window)
{
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// A child's place in its parent's client area, as left, top, width, height.
std::vector<long> PlaceOf(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(NULL, GetParent(child), reinterpret_cast<POINT *>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Where the children belong: the box above, the 32-pixel button strip below.
void ExpectLaidOut(const Program &program)
{
    RECT client;
    GetClientRect(program.Main(), &client);
    long boxHeight = client.bottom - kButtonHeight > 0 ? client.bottom - kButtonHeight : 0;
    EXPECT_EQ(PlaceOf(program.Box()), (std::vector<long>{0, 0, client.right, boxHeight}));
    EXPECT_EQ(PlaceOf(program.Button()),
              (std::vector<long>{0, client.bottom - kButtonHeight, client.right, kButtonHeight}));
}

TEST(StartUp, WindowAndChildrenAreAsDesigned)
{
    const char *const commandLines[] = {"", "--ignored \"arguments\" /x 12"};
    for (const char *arguments : commandLines) {
        SCOPED_TRACE(std::string("command line: ") + arguments);
        Program program(arguments);
        ASSERT_TRUE(program.Main());
        RECT outer;
        GetWindowRect(program.Main(), &outer);
        struct { const char *label; std::string seen, expected; } texts[] = {
            {"class", ClassOf(program.Main()), "Lumaquill"},
            {"title", TextOf(program.Main()), "Lumaquillpost"},
            {"box class", ClassOf(program.Box()), "Edit"},
            {"button class", ClassOf(program.Button()), "Button"},
            {"button caption", TextOf(program.Button()), "\x91\x97\x90\x4D"},
        };
        for (const auto &t : texts)
            EXPECT_EQ(t.seen, t.expected) << t.label;
        struct { const char *label; LONG_PTR seen, expected; } numbers[] = {
            {"left", outer.left, 0}, {"top", outer.top, 0},
            {"width", outer.right - outer.left, 320}, {"height", outer.bottom - outer.top, 240},
            {"main style", GetWindowLongPtrA(program.Main(), GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS),
             WS_OVERLAPPEDWINDOW},
            // The edit control draws its own border and takes WS_BORDER off its style.
            {"box style", GetWindowLongPtrA(program.Box(), GWL_STYLE) | WS_BORDER, kInputBoxStyle},
            {"button style", GetWindowLongPtrA(program.Button(), GWL_STYLE), kSendButtonStyle},
            {"box id", GetWindowLongPtrA(program.Box(), GWLP_ID), 0},
            {"button id", GetWindowLongPtrA(program.Button(), GWLP_ID), 0},
            {"children", GetWindow(program.Button(), GW_HWNDNEXT) == NULL, 1},
            {"top-most", GetWindowLongPtrA(program.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0},
        };
        for (const auto &n : numbers)
            EXPECT_EQ(n.seen, n.expected) << n.label;
        ExpectLaidOut(program);
    }
}

TEST(Layout, FollowsTheWindowSize)
{
    Program program;
    ASSERT_TRUE(program.Main());
    struct { const char *label; int width, height; } sizes[] = {
        {"wider and taller", 500, 400}, {"narrow", 160, 240},
        {"client lower than the strip", 320, 50}, {"back to the start", 320, 240},
    };
    for (const auto &s : sizes) {
        SCOPED_TRACE(s.label);
        SetWindowPos(program.Main(), NULL, 0, 0, s.width, s.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(program.Settle());
        ExpectLaidOut(program);
    }
}

TEST(Layout, MinimisingAndRestoring)
{
    Program program;
    ASSERT_TRUE(program.Main());
    std::vector<long> before = PlaceOf(program.Box());
    ShowWindow(program.Main(), SW_MINIMIZE);
    ASSERT_TRUE(program.Settle());
    EXPECT_EQ(PlaceOf(program.Box())[3], 0) << "an empty client area gives the box no height";
    ShowWindow(program.Main(), SW_RESTORE);
    ASSERT_TRUE(program.Settle());
    ExpectLaidOut(program);
    EXPECT_EQ(PlaceOf(program.Box()), before) << "restored to where it was";
}

TEST(Commands, ClientChoiceRoutesTheNextPass)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn jchat(0), chitchat(1), habitat(2);
    StandIn *clients[3] = {&jchat, &chitchat, &habitat};
    struct { const char *label; int command, row; } choices[] = {
        {"HabitatII", command::kHabitat, 2}, {"J-chat", command::kJChat, 0},
        {"Chit-chat", command::kChitChat, 1}, {"Chit-chat again", command::kChitChat, 1},
    };
    std::vector<std::string> expected[3];
    for (const auto &c : choices) {
        SCOPED_TRACE(c.label);
        program.Command(c.command);
        program.SetBoxText(c.label);
        program.Command(command::kSend);
        ASSERT_TRUE(program.Settle());
        std::vector<std::string> rows = DeliveredRows({c.label});
        expected[c.row].insert(expected[c.row].end(), rows.begin(), rows.end());
        for (int row = 0; row < 3; row++)
            EXPECT_EQ(clients[row]->Rows(), expected[row]) << "client " << row;
    }
}

TEST(Commands, EraseOptionSwitchesOnAndOff)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client;
    struct { const char *label; bool toggle; std::string after; } passes[] = {
        {"off at start", false, "kept"}, {"switched on", true, ""}, {"switched off", true, "kept"},
    };
    for (const auto &p : passes) {
        SCOPED_TRACE(p.label);
        if (p.toggle)
            program.Command(command::kEraseAfterSend);
        program.SetBoxText("kept");
        program.Command(command::kSend);
        ASSERT_TRUE(program.Settle());
        EXPECT_EQ(program.BoxText(), p.after);
    }
    EXPECT_EQ(client.Rows().size(), DeliveredRows({"kept", "kept", "kept"}).size());
}

TEST(Commands, AlwaysInFrontTogglesTopMost)
{
    Program program;
    ASSERT_TRUE(program.Main());
    const LONG_PTR expected[] = {WS_EX_TOPMOST, 0, WS_EX_TOPMOST};
    for (size_t i = 0; i < 3; i++) {
        SCOPED_TRACE("use " + std::to_string(i + 1));
        program.Command(command::kAlwaysOnTop);
        ASSERT_TRUE(program.Settle());
        EXPECT_EQ(GetWindowLongPtrA(program.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST, expected[i]);
    }
}

TEST(Commands, UnknownCommandsAndBoxNotificationsChangeNothing)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client;
    program.Command(12345);
    program.Command(0, program.Box(), EN_CHANGE);
    program.Command(0, program.Box(), EN_SETFOCUS);
    program.SetBoxText("still here");
    program.Command(command::kSend);
    ASSERT_TRUE(program.Settle());
    EXPECT_EQ(client.Rows(), DeliveredRows({"still here"})) << "still the first client, one pass";
    EXPECT_EQ(program.BoxText(), "still here") << "erase option still off";
    EXPECT_EQ(GetWindowLongPtrA(program.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(program.Proc().WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
}

TEST(Commands, ButtonNotificationsEachRunOnePass)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client;
    program.SetBoxText("pressed");
    program.Command(0, program.Button(), BN_CLICKED);
    ASSERT_TRUE(program.Settle());
    EXPECT_EQ(client.Rows(), DeliveredRows({"pressed"}));
}

// While a pass waits, the window answers what other programs send it, as it
// comes, not once the wait is over.
TEST(DuringAPass, ASendThatArrivesIsAnsweredAtOnceAndStartsNoPassInsideIt)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client;
    const std::vector<std::string> lines = {"first", "second", "third"};
    program.SetBoxText("first\r\nsecond\r\nthird");
    program.Command(command::kSend);
    ASSERT_TRUE(WaitUntil([&] { return !LinesOf(client.Records()).empty(); }));
    DWORD_PTR answer = 0;
    const double sent = NowMicroseconds();
    EXPECT_TRUE(SendMessageTimeoutA(program.Button(), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &answer));
    const double answered = NowMicroseconds();
    ASSERT_TRUE(program.Settle());
    std::vector<Record> records = client.Records();
    EXPECT_EQ(LinesOf(records), lines) << "each line once, in order";
    double secondTyped = 0;
    for (const Record &r : records)
        if (r.what == "SETTEXT" && r.bytes == "second")
            secondTyped = static_cast<double>(r.microseconds);
    // Sent in the half-second before the second line, it is answered well
    // within it: a pass that only slept would answer at the wait's end.
    ASSERT_GT(secondTyped, answered) << "the click came while the pass waited before the second line";
    EXPECT_LT(answered - sent, kLineWaitMs * 1000.0 / 5) << "microseconds until the click was answered";
}

TEST(DuringAPass, ClosingTheWindowEndsThePassAtOnce)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client;
    const std::vector<std::string> lines = {"1", "2", "3", "4", "5", "6"};
    program.SetBoxText("1\r\n2\r\n3\r\n4\r\n5\r\n6");
    program.Command(command::kSend);
    ASSERT_TRUE(WaitUntil([&] { return LinesOf(client.Records()).size() >= 2; }));
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(program.Main(), WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &answer));
    auto texts = [&] {
        size_t count = 0;
        for (const Record &r : client.Records())
            count += r.what == "SETTEXT";
        return count;
    };
    const size_t typed = texts();
    EXPECT_EQ(program.Proc().WaitForExit(), 0u);
    EXPECT_EQ(texts(), typed) << "no line is typed once the window is gone";
    EXPECT_EQ(LinesOf(client.Records()), std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(typed)))
        << "a text the client took still got its Enter";
}

TEST(Exit, EndsWithCodeZero)
{
    struct { const char *label; UINT message; WPARAM wParam; } ways[] = {
        {"exit command", WM_COMMAND, command::kExit},
        {"close box", WM_SYSCOMMAND, SC_CLOSE},
        {"close message", WM_CLOSE, 0},
    };
    for (const auto &w : ways) {
        SCOPED_TRACE(w.label);
        Program program;
        ASSERT_TRUE(program.Main());
        PostMessageA(program.Main(), w.message, w.wParam, 0);
        EXPECT_EQ(program.Proc().WaitForExit(), 0u);
    }
}

TEST(RealInput, ClickOnSendTypesTheLines)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client;
    program.SetBoxText("\x82\xa0\r\nclicked");
    ASSERT_TRUE(program.BringToFront());
    ClickAt(program.Button());
    ASSERT_TRUE(WaitUntil([&] { return client.Rows().size() >= 6; }, 10000));
    EXPECT_EQ(client.Rows(), DeliveredRows({"\x82\xa0", "clicked"}));
    // The click gave the program the foreground; each line passes it on.
    for (const Record &r : client.Records()) {
        if (r.what == "SETTEXT") {
            EXPECT_EQ(r.front, 1) << "line " << r.bytes << " arrived with the client behind the program";
        }
    }
}

TEST(RealInput, CtrlQWithTheMainWindowFocusedExits)
{
    Program program;
    ASSERT_TRUE(program.Main());
    ASSERT_TRUE(program.BringToFront());
    PressWithCtrl('Q');
    EXPECT_EQ(program.Proc().WaitForExit(), 0u);
}

TEST(RealInput, CtrlAWithTheMainWindowFocusedSends)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client;
    program.SetBoxText("by key");
    ASSERT_TRUE(program.BringToFront());
    PressWithCtrl('A');
    ASSERT_TRUE(WaitUntil([&] { return client.Rows().size() >= 3; }, 10000));
    EXPECT_EQ(client.Rows(), DeliveredRows({"by key"}));
}

// Where the program's keys go: to its main window itself, to the box or the
// button, or to no window of the program, when another is in front.
enum class Keys { kMainWindow, kBox, kButton, kElsewhere };

const char *NameOf(Keys keys)
{
    switch (keys) {
    case Keys::kMainWindow: return "the main window";
    case Keys::kBox:        return "the box";
    case Keys::kButton:     return "the button";
    default:                return "another program";
    }
}

Keys WhereTheKeysGo(const Program &program)
{
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    if (GetForegroundWindow() != program.Main() ||
        !GetGUIThreadInfo(GetWindowThreadProcessId(program.Main(), NULL), &info))
        return Keys::kElsewhere;
    if (info.hwndFocus == program.Main())
        return Keys::kMainWindow;
    if (info.hwndFocus == program.Box())
        return Keys::kBox;
    return info.hwndFocus == program.Button() ? Keys::kButton : Keys::kElsewhere;
}

// With no window manager on the virtual display, nothing draws the title
// bar of a window that Wine leaves to the window manager to decorate, and a
// click there lands on the desktop. Told to draw it itself, for
// lumaquill.exe alone and while a test runs, Wine handles a click on the
// title as Windows does.
class WineDrawsTheTitle {
public:
    WineDrawsTheTitle()
    {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kDriverKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) ==
            ERROR_SUCCESS) {
            RegSetValueExA(key, "Decorated", 0, REG_SZ, reinterpret_cast<const BYTE *>("N"), 2);
            RegCloseKey(key);
        }
    }
    ~WineDrawsTheTitle()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kDriverKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, kProgramKey);
    }

private:
    static constexpr const char *kProgramKey = "Software\\Wine\\AppDefaults\\lumaquill.exe";
    static constexpr const char *kDriverKey = "Software\\Wine\\AppDefaults\\lumaquill.exe\\X11 Driver";
};

// The ways a user comes back to the window, with real input, and where each
// leaves the keys; Ctrl+Q, which ends the program, must work from the main
// window itself and from nowhere else. By the platform's rules, a click
// that activates the window from another window gives the focus to the
// window itself, and a click on the title of the window already in front
// leaves it where it was; a pass into the client puts the client in front.
TEST(RealInput, WhereEachWayBackLeavesTheKeys)
{
    WineDrawsTheTitle title;
    enum Step { kClickBox, kType, kClickTitle, kClickSend, kClickClient };
    struct {
        const char *label;
        bool client; // a stand-in open, started before the program
        std::vector<Step> steps;
        Keys keys;
    } ways[] = {
        {"right after start", false, {}, Keys::kMainWindow},
        {"typed in the box", false, {kClickBox, kType}, Keys::kBox},
        {"typed in the box, then a click on the title", false, {kClickBox, kType, kClickTitle}, Keys::kBox},
        {"clicked send, no client open", false, {kClickSend}, Keys::kButton},
        {"clicked send, no client open, then a click on the title", false, {kClickSend, kClickTitle},
         Keys::kButton},
        {"a pass into the stand-in", true, {kClickBox, kType, kClickSend}, Keys::kElsewhere},
        {"a pass into the stand-in, then a click on the title", true, {kClickBox, kType, kClickSend, kClickTitle},
         Keys::kMainWindow},
        {"a pass into the stand-in, then a click on the box", true, {kClickSend, kClickBox}, Keys::kBox},
        {"typed in the box, a click on the stand-in, then one on the title", true,
         {kClickBox, kType, kClickClient, kClickTitle}, Keys::kMainWindow},
    };
    for (const auto &w : ways) {
        SCOPED_TRACE(w.label);
        std::unique_ptr<StandIn> client(w.client ? new StandIn : nullptr);
        Program program;
        ASSERT_TRUE(program.Main());
        program.SetBoxText("way back");
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == program.Main(); }, 5000))
            << "the program came up in front";
        for (Step step : w.steps) {
            switch (step) {
            case kClickBox:
                ASSERT_TRUE(ClickAndWait(program.Box()));
                break;
            case kType:
                PressKey('X');
                ASSERT_TRUE(WaitUntil([&] { return program.BoxText().size() > 8; }, 5000)) << "typed in the box";
                break;
            case kClickTitle:
                ASSERT_TRUE(ClickOnTitle(program.Main()));
                break;
            case kClickSend:
                ASSERT_TRUE(ClickAndWait(program.Button()));
                if (client) {
                    ASSERT_TRUE(WaitUntil([&] { return !LinesOf(client->Records()).empty(); }, 10000));
                }
                break;
            case kClickClient:
                ClickAt(client->Window());
                ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == client->Window(); }, 5000));
                break;
            }
            ASSERT_TRUE(program.Settle());
        }
        EXPECT_STREQ(NameOf(WhereTheKeysGo(program)), NameOf(w.keys));
        PressWithCtrl('Q');
        bool ended = program.Proc().WaitForExit(w.keys == Keys::kMainWindow ? 10000 : 2000) == 0;
        EXPECT_EQ(ended, w.keys == Keys::kMainWindow) << "Ctrl+Q ends the program from the main window alone";
    }
}

TEST(RealInput, KeysInTheInputBoxDoNothing)
{
    Program program;
    ASSERT_TRUE(program.Main());
    StandIn client;
    program.SetBoxText("typed");
    ASSERT_TRUE(program.BringToFront());
    ClickAt(program.Box());
    ASSERT_TRUE(program.Settle());
    const WORD keys[] = {'A', 'Q'};
    for (WORD key : keys) {
        SCOPED_TRACE(std::string("Ctrl+") + static_cast<char>(key));
        PressWithCtrl(key);
        ASSERT_TRUE(program.Settle());
        Sleep(300);
        ASSERT_TRUE(program.Settle());
        EXPECT_EQ(program.Proc().WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "nothing ends";
        EXPECT_EQ(program.BoxText(), "typed") << "nothing typed";
        EXPECT_EQ(client.Rows(), std::vector<std::string>{}) << "nothing sent";
    }
    // The keys did reach the box: a plain letter is typed there.
    PressKey('X');
    ASSERT_TRUE(WaitUntil([&] { return program.BoxText().size() == 6; }, 5000));
    EXPECT_NE(program.BoxText().find_first_of("xX"), std::string::npos);
}

} // namespace
