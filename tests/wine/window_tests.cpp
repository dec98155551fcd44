// The main window in this process, for what only the owning process can see:
// the menu's check marks as it opens, and how a failed start ends.
#include <gtest/gtest.h>

#include "app.h"
#include "commands.h"
#include "harness.h"
#include "main_window.h"

int WINAPI WinMain(HINSTANCE module, HINSTANCE previous, LPSTR commandLine, int showState);

namespace {

HINSTANCE Module()
{
    return GetModuleHandleA(NULL);
}

class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RegisterMainClass(Module()), 1); }
    void SetUp() override
    {
        appSettings = AppSettings{0, 0, 0};
        ASSERT_EQ(CreateMainWindow(Module(), SW_SHOWNORMAL), 1);
    }
    void TearDown() override { DestroyWindow(mainWindow); }

    // Opens the menu as the window manager does, then reads its marks.
    std::vector<int> MarksAfterOpening()
    {
        HMENU popup = GetSubMenu(GetMenu(mainWindow), 0);
        SendMessageA(mainWindow, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
        std::vector<int> marks;
        for (int id : {command::kHabitat, command::kJChat, command::kChitChat, command::kEraseAfterSend,
                       command::kAlwaysOnTop})
            marks.push_back((GetMenuState(popup, static_cast<UINT>(id), MF_BYCOMMAND) & MF_CHECKED) ? 1 : 0);
        return marks;
    }
};

struct MarksCase {
    const char *label;
    std::vector<int> commands;
    // Habitat, J-chat, Chit-chat, erase, always in front: in menu order
    std::vector<int> marks;
};

TEST_F(MainWindow, CheckMarksShowTheSettingsWhenTheMenuOpens)
{
    const MarksCase cases[] = {
        {"at start", {}, {0, 1, 0, 0, 0}},
        {"HabitatII chosen", {command::kHabitat}, {1, 0, 0, 0, 0}},
        {"Chit-chat chosen", {command::kChitChat}, {0, 0, 1, 0, 0}},
        {"back to J-chat", {command::kHabitat, command::kJChat}, {0, 1, 0, 0, 0}},
        {"erase on", {command::kEraseAfterSend}, {0, 1, 0, 1, 0}},
        {"erase on and off", {command::kEraseAfterSend, command::kEraseAfterSend}, {0, 1, 0, 0, 0}},
        {"always in front", {command::kAlwaysOnTop}, {0, 1, 0, 0, 1}},
        {"always in front, then not", {command::kAlwaysOnTop, command::kAlwaysOnTop}, {0, 1, 0, 0, 0}},
        {"unknown command", {12345}, {0, 1, 0, 0, 0}},
        {"everything", {command::kChitChat, command::kEraseAfterSend, command::kAlwaysOnTop}, {0, 0, 1, 1, 1}},
    };
    for (const MarksCase &c : cases) {
        SCOPED_TRACE(c.label);
        TearDown();
        SetUp();
        for (int id : c.commands)
            SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        EXPECT_EQ(MarksAfterOpening(), c.marks);
        EXPECT_EQ((GetWindowLongPtrA(mainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0, c.marks[4])
            << "the mark matches the window";
    }
}

TEST_F(MainWindow, MenuCommandsWorkWithoutASendButton)
{
    DestroyWindow(sendButton);
    sendButton = NULL;
    struct { const char *label; int id; LONG AppSettings::*field; LONG value; } cases[] = {
        {"HabitatII", command::kHabitat, &AppSettings::targetIndex, 2},
        {"Chit-chat", command::kChitChat, &AppSettings::targetIndex, 1},
        {"erase", command::kEraseAfterSend, &AppSettings::eraseAfterSend, 1},
        {"always in front", command::kAlwaysOnTop, &AppSettings::alwaysOnTop, 1},
        {"J-chat", command::kJChat, &AppSettings::targetIndex, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        OnCommand(mainWindow, c.id, NULL, 0);
        EXPECT_EQ(appSettings.*c.field, c.value);
    }
}

TEST_F(MainWindow, AlwaysInFrontMarkFollowsTheWindowOnly)
{
    // A window the window manager cannot change: the setting must not claim
    // a state no window is in.
    HWND gone = CreateWindowExA(0, "STATIC", NULL, 0, 0, 0, 10, 10, NULL, NULL, Module(), NULL);
    DestroyWindow(gone);
    OnCommand(gone, command::kAlwaysOnTop, NULL, 0);
    EXPECT_EQ(appSettings.alwaysOnTop, 0);
    OnCommand(mainWindow, command::kAlwaysOnTop, NULL, 0);
    EXPECT_EQ(appSettings.alwaysOnTop, 1);
    EXPECT_EQ(MarksAfterOpening()[4], 1);
}

TEST(FailedStart, EndsWithCodeOne)
{
    // The class is ours already, so registering it again fails in both forms.
    RegisterMainClass(Module());
    EXPECT_EQ(RegisterMainClass(Module()), 0);
    EXPECT_EQ(WinMain(Module(), NULL, const_cast<char *>(""), SW_SHOWNORMAL), 1);
}

} // namespace
