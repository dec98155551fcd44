// A send pass run in this process, with an edit control of ours as the input
// box, typing into the stand-in chat client running as a process of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
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
WPARAM escAtText;           // the client's text at whose arrival the user presses Esc, 0 for none

void PressEscAsTheClientTakesAText();

LRESULT CALLBACK RecordingEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        boxTextWrites++;
    // The stand-in started with --tell this box asks it before it takes each
    // text, while the pass still waits for that text to be taken.
    if (message == kTextArrivingMessage) {
        if (wParam == escAtText)
            PressEscAsTheClientTakesAText();
        return 0;
    }
    LRESULT result = CallWindowProcA(editProc, window, message, wParam, lParam);
    return message == WM_GETTEXTLENGTH ? result + lengthOverstatedBy : result;
}

// What a pass leaves in the box and what its client sends: with erase on,
// the box holds exactly the lines that did not arrive, as the user wrote
// them, and sending it again sends each of those once, and nothing twice;
// with erase off, the box is as it was, never written.
struct PassLeft {
    std::string box;
    std::string keptWithErase;
    std::vector<std::string> sent;   // what the client sent from the pass
    std::vector<std::string> resent; // what it sent from the kept text, pressed again
};

class SendPass : public ::testing::Test {
protected:
    void SetUp() override
    {
        appSettings = AppSettings{0, 0, 0};
        lengthOverstatedBy = 0;
        escAtText = 0;
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
    // Checks what the pass just made left, and with erase on sends again.
    void ExpectLeft(const PassLeft &left, StandIn *client)
    {
        const bool erase = appSettings.eraseAfterSend != 0;
        const std::string &expected = erase ? left.keptWithErase : left.box;
        EXPECT_EQ(Hex(BoxText()), Hex(expected));
        EXPECT_EQ(boxTextWrites, expected == left.box ? 0 : 1) << "a box with nothing sent is left alone";
        if (!client)
            return;
        // Reading the log waits until a client that hung answers again.
        EXPECT_EQ(LinesOf(client->Records()), left.sent);
        if (!erase)
            return;
        std::vector<std::string> everything = left.sent;
        everything.insert(everything.end(), left.resent.begin(), left.resent.end());
        SendText();
        EXPECT_EQ(LinesOf(client->Records()), everything);
    }
};

// The machine an executable is built for, from its PE header; 0 if unreadable.
WORD MachineOf(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    IMAGE_DOS_HEADER dos = {};
    DWORD signature = 0;
    IMAGE_FILE_HEADER header = {};
    file.read(reinterpret_cast<char *>(&dos), sizeof dos);
    file.seekg(dos.e_lfanew);
    file.read(reinterpret_cast<char *>(&signature), sizeof signature);
    file.read(reinterpret_cast<char *>(&header), sizeof header);
    return file && dos.e_magic == IMAGE_DOS_SIGNATURE && signature == IMAGE_NT_SIGNATURE ? header.Machine : 0;
}

TEST(Environment, RunsInCodePage932BesideAnExeOfItsOwnBitness)
{
    EXPECT_EQ(GetACP(), 932u) << "run under Wine with LC_ALL=ja_JP.UTF-8";
    // What the tests see of lumaquill.exe holds for the exe beside them only
    // if it is built as they are: the 32-bit one we ship, run as users run it
    // on 64-bit Windows, or the 64-bit one that stands in for it.
    const bool is32 = sizeof(void *) == 4;
    EXPECT_EQ(MachineOf(BuildFolder() + "lumaquill.exe"), is32 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64);
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
    IsWow64ProcessFunction isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    ASSERT_TRUE(isWow64);
    EXPECT_TRUE(isWow64(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 != FALSE, is32) << (is32 ? "a 32-bit process on 64-bit Windows" : "a 64-bit process, not WoW64");
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

TEST_F(SendPass, EveryLineWaitsHalfASecondForTheRaisedClient)
{
    StandIn client;
    ASSERT_TRUE(client.Window());
    Type("1\r\n2\r\n3");
    double start = NowMicroseconds();
    SendText();
    std::vector<unsigned long long> texts;
    for (const Record &r : client.Records())
        if (r.what == "SETTEXT")
            texts.push_back(r.microseconds);
    ASSERT_EQ(texts.size(), 3u);
    // The first line waits from the start of the pass, each later one from
    // the line before it.
    double previous = start;
    for (size_t i = 0; i < texts.size(); i++) {
        EXPECT_GE(static_cast<double>(texts[i]) - previous, kLineWaitMs * 1000.0) << "before line " << i + 1;
        previous = static_cast<double>(texts[i]);
    }
}

TEST_F(SendPass, TheClientIsInFrontAsEachLineArrives)
{
    StandIn client;
    ASSERT_TRUE(client.Window());
    // As after a click on Send: our window is in front, the client behind it.
    SetForegroundWindow(mainWindow);
    ASSERT_TRUE(WaitUntil([] { return GetForegroundWindow() == mainWindow; }));
    Type("1\r\n2\r\n3");
    SendText();
    int texts = 0;
    for (const Record &r : client.Records()) {
        if (r.what != "SETTEXT")
            continue;
        texts++;
        EXPECT_EQ(r.front, 1) << "line " << r.bytes << " arrived with the client behind another window";
    }
    EXPECT_EQ(texts, 3);
}

TEST_F(SendPass, WithNoClientOpenNothingWaits)
{
    Type("1\r\n2\r\n3");
    DWORD start = GetTickCount();
    SendText();
    // Three lines into an open client take at least three focus delays.
    EXPECT_LT(GetTickCount() - start, kLineWaitMs);
}

TEST_F(SendPass, AClientWithoutAnEighthChildGetsNothing)
{
    StandIn client(0, 3);
    ASSERT_TRUE(client.Window());
    SetForegroundWindow(mainWindow);
    ASSERT_TRUE(WaitUntil([] { return GetForegroundWindow() == mainWindow; }));
    Type("a\r\nb");
    SendText();
    // Raised and waited for like any open client, then left alone.
    EXPECT_EQ(GetForegroundWindow(), client.Window());
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

// こんにちは and 送信ソ: trail bytes 0x5C and 0x4D among them
const std::string kHello = "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd";
const std::string kSendSo = "\x91\x97\x90\x4D\x83\x5C";

// How the user presses Esc in a pass, once the client has taken its second
// text: held as a finger holds it, the keyboard repeating it, or tapped in
// the wait before the third line, with the key free or held as a hot key by
// another program; or tapped while the client takes that second text, the
// pass waiting for it.
enum StopPress { kNoPress, kEscHeld, kEscTapped, kEscTappedHeldElsewhere, kEscAsTheSecondTextIsTaken };

// Passes into a client that is not there, cannot take a line or does not,
// and passes the user stops.
struct KeepCase {
    const char *label;
    bool clientOpen;
    int children;
    const char *clientOptions;
    PassLeft left;
    StopPress press = kNoPress;
};

// Five lines, stopped once the second has arrived.
const PassLeft kStoppedAtTheThird = {"one\r\n" + kHello + "\r\nthree\r\n\r\nfive\r\n", "three\r\n\r\nfive\r\n",
                                     {"one", kHello}, {"three", " ", "five"}};

const KeepCase kKeepCases[] = {
    {"client not open", false, 9, "", "one\r\ntwo\r\n", "one\r\ntwo\r\n", {}, {}},
    {"client without an input field", true, 3, "", "one\r\ntwo", "one\r\ntwo", {}, {}},
    {"client stops answering at the second line of four", true, 9, "--hang 10 --hang-at 2",
     "first\r\n" + kHello + "\r\nthird\r\n" + kSendSo, kHello + "\r\nthird\r\n" + kSendSo, {"first"},
     {kHello, "third", kSendSo}},
    {"client refuses one line in the middle", true, 9, "--refuse 2", "a\r\n" + kHello + "\r\nc",
     kHello + "\r\n", {"a", "c"}, {kHello}},
    {"an empty line not delivered stays empty", true, 9, "--refuse 2", "a\r\n\r\nc", "\r\n", {"a", "c"}, {" "}},
    {"the last line kept gets no break it never had", true, 9, "--refuse 2", "a\r\nb", "b", {"a"}, {"b"}},
    {"a lone CR stays with its line", true, 9, "--refuse 1", "a\rb", "a\r", {"b"}, {"a"}},
    {"every line delivered", true, 9, "", "a\r\n\r\n" + kHello, "", {"a", " ", kHello}, {}},
    {"empty box", true, 9, "", "", "", {}, {}},
    // The client closes on an Esc key-down, as a dialog does: a pass that let
    // the key through would end it.
    {"Esc held", true, 9, "--close-on-esc", kStoppedAtTheThird, kEscHeld},
    {"Esc tapped in the wait", true, 9, "--close-on-esc", kStoppedAtTheThird, kEscTapped},
    {"Esc tapped after a line was kept", true, 9, "--close-on-esc --refuse 1",
     {"kept\r\nsent\r\nstopped\r\n" + kSendSo, "kept\r\nstopped\r\n" + kSendSo, {"sent"}, {"kept", "stopped", kSendSo}},
     kEscTapped},
    {"Esc tapped while another program holds it", true, 9, "--close-on-esc", kStoppedAtTheThird,
     kEscTappedHeldElsewhere},
    // The second text was taken: it gets its Enter, or it would sit in the
    // client's field, and only the third line on stays.
    {"Esc tapped as the client takes a text", true, 9, "--close-on-esc", kStoppedAtTheThird,
     kEscAsTheSecondTextIsTaken},
};

void Key(WORD key, bool up)
{
    INPUT input;
    ZeroMemory(&input, sizeof input);
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

// A tap in the middle of a message the pass is waiting on. It returns once
// the press has come to the pass as the hot key it claimed, so the pass
// cannot miss it however soon it looks; a key nobody claimed leaves that to
// the case's outcome to show.
void PressEscAsTheClientTakesAText()
{
    Key(VK_ESCAPE, false);
    Key(VK_ESCAPE, true);
    MSG press;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 2000; Sleep(1))
        if (PeekMessageA(&press, NULL, WM_HOTKEY, WM_HOTKEY, PM_NOREMOVE))
            break;
}

// The user's hand, on a thread of its own while the pass holds the test's.
struct Presser {
    StopPress press;
    StandIn *client;
};

// Started as "sending_tests.exe --hold-esc FILE", this program is another
// program that holds Esc as its hot key until it is ended, and runs no test.
// Its word goes to FILE: that it holds the key, or why it cannot, in which
// case it also says so on its error stream and ends at once.
const char kHoldsEsc[] = "holds Esc";

const bool kIsEscHolder = [] {
    if (!ArgumentFlag(__argc, __argv, "--hold-esc"))
        return false;
    const char *wordFile = ArgumentText(__argc, __argv, "--hold-esc");
    if (!wordFile) {
        std::fprintf(stderr, "sending_tests --hold-esc: no file named for its word\n");
        ExitProcess(2);
    }
    std::string word = kHoldsEsc;
    if (!RegisterHotKey(NULL, 7, 0, VK_ESCAPE))
        word = "cannot hold Esc: RegisterHotKey failed with Windows error " + std::to_string(GetLastError());
    std::ofstream(wordFile, std::ios::binary) << word << '\n';
    if (word != kHoldsEsc) {
        std::fprintf(stderr, "sending_tests --hold-esc: %s\n", word.c_str());
        ExitProcess(1);
    }
    for (MSG message; GetMessageA(&message, NULL, 0, 0) > 0;)
        DispatchMessageA(&message);
    ExitProcess(0);
}();

// The first whole line of a file, or "" while there is none.
std::string WordIn(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t end = text.find('\n');
    return end == std::string::npos ? "" : text.substr(0, end);
}

DWORD WINAPI PressEsc(void *parameter)
{
    Presser *p = static_cast<Presser *>(parameter);
    WaitUntil([p] {
        int texts = 0;
        for (const Record &r : p->client->Records())
            texts += r.what == "SETTEXT";
        return texts >= 2;
    });
    if (p->press == kEscHeld) {
        Key(VK_ESCAPE, false);
        Sleep(250);
        for (int repeat = 0; repeat < 4; repeat++, Sleep(35))
            Key(VK_ESCAPE, false);
        Key(VK_ESCAPE, true);
    } else {
        Sleep(100); // into the third line's wait
        Key(VK_ESCAPE, false);
        Sleep(30);
        Key(VK_ESCAPE, true);
    }
    return 0;
}

TEST_F(SendPass, TheBoxKeepsExactlyTheLinesThatDidNotArriveWithEraseOnAndIsLeftAloneWithEraseOff)
{
    for (int erase = 1; erase >= 0; erase--) {
        for (const KeepCase &c : kKeepCases) {
            SCOPED_TRACE(std::string(c.label) + (erase ? ", erase on" : ", erase off"));
            appSettings.eraseAfterSend = erase;
            std::string options = c.clientOptions;
            if (c.press == kEscAsTheSecondTextIsTaken) {
                options += " --tell " + std::to_string(reinterpret_cast<ULONG_PTR>(inputBox));
                escAtText = 2;
            }
            std::unique_ptr<StandIn> client(c.clientOpen ? new StandIn(0, c.children, options) : nullptr);
            Type(c.left.box);
            std::unique_ptr<Process> holder;
            if (c.press == kEscTappedHeldElsewhere) {
                const std::string wordFile = TempPath("esc-holder.txt");
                holder.reset(new Process('"' + BuildFolder() + "sending_tests.exe\" --hold-esc \"" + wordFile + '"'));
                std::string word;
                DWORD ended = STILL_ACTIVE;
                WaitUntil([&] {
                    ended = holder->WaitForExit(0);
                    word = WordIn(wordFile);
                    return !word.empty() || ended != STILL_ACTIVE;
                });
                ASSERT_EQ(word, kHoldsEsc) << "the other program did not hold Esc"
                                           << (ended != STILL_ACTIVE ? ", and ended with " + std::to_string(ended) : "");
            }
            Presser presser = {c.press, client.get()};
            const bool byHand = c.press != kNoPress && c.press != kEscAsTheSecondTextIsTaken;
            HANDLE hand = byHand ? CreateThread(NULL, 0, PressEsc, &presser, 0, NULL) : NULL;
            SetForegroundWindow(mainWindow); // as after a click on Send
            SendText();
            if (hand) {
                WaitForSingleObject(hand, 30000);
                CloseHandle(hand);
            }
            holder.reset();
            escAtText = 0;
            if (c.press != kNoPress) {
                for (const Record &r : client->Records())
                    EXPECT_FALSE(r.wParam == VK_ESCAPE && (r.what == "KEYDOWN" || r.what == "CHAR"))
                        << "Esc reached the client: " << r.Row();
                ASSERT_EQ(client->Proc().WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "the client closed";
            }
            ExpectLeft(c.left, client.get());
            if (c.press != kNoPress) {
                // Outside a pass Esc is not ours: it reaches the client again.
                PressKey(VK_ESCAPE);
                EXPECT_EQ(client->Proc().WaitForExit(5000), 0u) << "Esc after the pass did not reach the client";
            }
        }
    }
}

TEST_F(SendPass, AHungClientCostsAtMostTheBoundAndNothingTwice)
{
    const int hangSeconds = 6;
    StandIn client(0, 9, "--hang " + std::to_string(hangSeconds));
    ASSERT_TRUE(client.Window());
    Type("first\r\nsecond");
    DWORD start = GetTickCount();
    SendText();
    DWORD elapsed = GetTickCount() - start;
    // Each line may cost its wait plus the bound, never the whole hang.
    EXPECT_LE(elapsed, 2 * (kLineWaitMs + kStalledClientMs) + 1000);

    // Once it answers again, whatever it took was taken once and got no Enter.
    // A slow machine may have used up the hang already.
    const DWORD hangOver = static_cast<DWORD>(hangSeconds + 1) * 1000;
    Pause(elapsed < hangOver ? hangOver - elapsed : 0);
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

TEST_F(SendPass, APassIntoAClientHungForGoodEndsInBoundedTime)
{
    // Hung for longer than the pass can take: a client that has stopped
    // answering. Once it has not answered for 5 seconds the window manager
    // calls it hung, and the rest of the pass skips it; a user waits at most
    // 8 seconds, however many lines the pass holds. Without the skip each of
    // the 20 lines would still cost its half-second wait.
    const int hangSeconds = 15;
    const DWORD kWholePassBoundMs = 8000;
    StandIn client(0, 9, "--hang " + std::to_string(hangSeconds));
    ASSERT_TRUE(client.Window());
    std::string text;
    for (int i = 1; i <= 20; i++)
        text += "line " + std::to_string(i) + "\r\n";
    Type(text);
    DWORD start = GetTickCount();
    SendText();
    DWORD elapsed = GetTickCount() - start;
    EXPECT_LE(elapsed, kWholePassBoundMs);

    // When it answers again it gets the next pass, and none of the old
    // lines was ever pressed. Reading its log waits until it answers.
    client.Records();
    Type("back again");
    SendText();
    EXPECT_EQ(LinesOf(client.Records()), std::vector<std::string>{"back again"});
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
    // A box that reports 3 bytes more than it copies: what lies past the
    // copied text is no line of the user's, empty or otherwise.
    const char *const texts[] = {"abc", "abc\r\n"};
    StandIn client;
    ASSERT_TRUE(client.Window());
    lengthOverstatedBy = 3;
    size_t seen = 0;
    for (const char *text : texts) {
        SCOPED_TRACE(Hex(text));
        Type(text);
        SendText();
        std::vector<std::string> rows = client.Rows();
        EXPECT_EQ(std::vector<std::string>(rows.begin() + static_cast<long>(seen), rows.end()), DeliveredRows({"abc"}))
            << "no line the user never typed";
        seen = rows.size();
    }
}

// Uses up this 32-bit process's address space, then what is left in its
// heap, so that the next HeapAlloc fails for real; gives it all back when it
// goes. Nothing here may allocate while memory is used up.
class MemoryUsedUp {
public:
    MemoryUsedUp()
    {
        reserved_.reserve(200000);
        blocks_.reserve(200000);
        for (SIZE_T size = SIZE_T(1) << 30; size >= 65536; size /= 2)
            while (reserved_.size() < reserved_.capacity())
                if (void *region = VirtualAlloc(NULL, size, MEM_RESERVE, PAGE_NOACCESS))
                    reserved_.push_back(region);
                else
                    break;
        // The heap keeps small blocks of each size class apart, so every
        // class is asked for, down to the smallest, not just powers of two.
        HANDLE heap = GetProcessHeap();
        for (SIZE_T size = SIZE_T(1) << 20; size >= 1; size -= size > 4096 ? size / 16 : size > 8 ? 8 : 1)
            while (blocks_.size() < blocks_.capacity())
                if (void *block = HeapAlloc(heap, 0, size))
                    blocks_.push_back(block);
                else
                    break;
    }
    ~MemoryUsedUp()
    {
        for (void *block : blocks_)
            HeapFree(GetProcessHeap(), 0, block);
        for (void *region : reserved_)
            VirtualFree(region, 0, MEM_RELEASE);
    }
    // Whether, at this moment, a block of that size is refused.
    bool StillUsedUp(SIZE_T size) const
    {
        void *block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
        if (block)
            HeapFree(GetProcessHeap(), 0, block);
        return block == NULL;
    }

private:
    std::vector<void *> reserved_;
    std::vector<void *> blocks_;
};

// When the pass runs out of memory: before it starts, right after the box
// gave its text, or while the client takes its Nth text, so that the line
// after that one finds none. Memory comes back as the pass writes the box,
// or once it is over; whether it was still used up then is noted, by asking
// for a block larger than any line of the pass and than the text it gives
// back as it ends.
enum RunOut { kBeforeThePass, kOnTheTextCopy, kAtAClientText };
std::unique_ptr<MemoryUsedUp> usedUp;
RunOut runOut;
WPARAM runOutAtText;
bool armed; // memory is yet to be used up in this pass
bool usedUpUntilGivenBack;
SIZE_T moreThanThePassNeeds;

void GiveMemoryBack()
{
    if (!usedUp)
        return;
    usedUpUntilGivenBack = usedUp->StillUsedUp(moreThanThePassNeeds);
    usedUp.reset();
}

LRESULT CALLBACK RunOutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        GiveMemoryBack();
    if (message == kTextArrivingMessage) {
        if (armed && runOut == kAtAClientText && wParam == runOutAtText) {
            armed = false;
            usedUp.reset(new MemoryUsedUp);
        }
        return 0;
    }
    LRESULT result = RecordingEditProc(window, message, wParam, lParam);
    if (message == WM_GETTEXT && armed && runOut == kOnTheTextCopy) {
        armed = false;
        usedUp.reset(new MemoryUsedUp);
    }
    return result;
}

struct NoMemoryCase {
    const char *label;
    RunOut when;
    int atText;
    const char *clientOptions;
    PassLeft left;
};

TEST_F(SendPass, APassThatRunsOutOfMemoryKeepsEveryLineThatDidNotArrive)
{
    if (sizeof(void *) != 4)
        GTEST_SKIP() << "a 64-bit address space cannot be used up; the 32-bit build runs this test";
    const std::string twoLines = kHello + "\r\nsecond line";
    const NoMemoryCase cases[] = {
        {"no memory for the text", kBeforeThePass, 0, "", twoLines, twoLines, {}, {kHello, "second line"}},
        {"no memory for the first line", kOnTheTextCopy, 0, "", twoLines, twoLines, {}, {kHello, "second line"}},
        // The empty line needs no memory of its own: a pass that went on
        // past the line that found none would send it.
        {"no memory after one line was kept and one sent", kAtAClientText, 2, "--refuse 1",
         "kept\r\nsent\r\n" + kHello + "\r\n\r\nlast", "kept\r\n" + kHello + "\r\n\r\nlast", {"sent"},
         {"kept", kHello, " ", "last"}},
    };
    SetWindowLongPtrA(inputBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RunOutProc));
    const std::string tell = "--tell " + std::to_string(reinterpret_cast<ULONG_PTR>(inputBox));
    for (int erase = 1; erase >= 0; erase--) {
        for (const NoMemoryCase &c : cases) {
            SCOPED_TRACE(std::string(c.label) + (erase ? ", erase on" : ", erase off"));
            appSettings.eraseAfterSend = erase;
            StandIn client(0, 9, tell + " " + c.clientOptions);
            ASSERT_TRUE(client.Window());
            Type(c.left.box);
            runOut = c.when;
            runOutAtText = static_cast<WPARAM>(c.atText);
            armed = c.when != kBeforeThePass;
            usedUpUntilGivenBack = false;
            moreThanThePassNeeds = c.left.box.size() + 256;
            if (!armed)
                usedUp.reset(new MemoryUsedUp);
            SendText();
            GiveMemoryBack();
            EXPECT_FALSE(armed) << "the pass never reached the point where memory was to run out";
            EXPECT_TRUE(usedUpUntilGivenBack) << "memory was not used up through the pass";
            ExpectLeft(c.left, &client);
        }
    }
}

} // namespace
