// Where start-up time goes: a window program with the product's resources
// and window procedure that starts as lumaquill.exe does, reading the clock
// between the calls, and writes the readings to a file for start_cost.
//
//   start_steps --out FILE [--mode steps|product|minimal]
//
//   steps    the calls of RegisterMainClass, CreateMainWindow and WinMain,
//            in their order, one reading after each
//   product  the program's own RegisterMainClass and CreateMainWindow,
//            timed whole, to show the steps are the same work
//   minimal  the calls of bench/minimal_window.cpp, the floor
//
// Each line of the file is "<what> <microseconds on the shared clock>"; the
// first is "entry", taken as WinMain begins. The window then runs until it
// is closed, like the programs it stands for.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app.h"
#include "bench_support.h"
#include "main_window.h"

namespace {

struct Reading {
    const char *what;
    double at;
};
std::vector<Reading> readings;

void Note(const char *what)
{
    readings.push_back({what, bench::NowMicroseconds()});
}

// The product's start, as in src/window/main_window.cpp and winmain.cpp.
HACCEL StartLikeTheProgram(HINSTANCE module, int showState)
{
    static char className[256], title[256];
    LoadStringA(module, IDS_CLASS_NAME, className, sizeof className);
    LoadStringA(module, IDS_TITLE, title, sizeof title);
    Note("LoadStringA x2");

    WNDCLASSEXA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconA(module, className);
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    Note("LoadIconA + LoadCursorA");
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    windowClass.lpszClassName = className;
    windowClass.hIconSm = (HICON)LoadImageA(module, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    Note("LoadImageA small icon");
    RegisterClassExA(&windowClass);
    Note("RegisterClassExA");

    mainWindow = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, NULL, NULL, module, NULL);
    Note("CreateWindowExA with menu");
    ShowWindow(mainWindow, showState);
    Note("ShowWindow (now visible)");
    UpdateWindow(mainWindow);
    Note("UpdateWindow");

    RECT client;
    GetClientRect(mainWindow, &client);
    int boxHeight = client.bottom - 32 > 0 ? client.bottom - 32 : 0;
    inputBox = CreateWindowExA(0, "EDIT", NULL,
                               WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL,
                               client.left, client.top, client.right, boxHeight, mainWindow, NULL, module, NULL);
    Note("edit box");
    sendButton = CreateWindowExA(0, "BUTTON", "\x91\x97\x90\x4D", WS_CHILD | WS_VISIBLE, client.left,
                                 client.bottom - 32, client.right, 32, mainWindow, NULL, module, NULL);
    Note("button");
    HACCEL accelerators = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    Note("LoadAcceleratorsA");
    return accelerators;
}

HACCEL StartWithTheProgramsCode(HINSTANCE module, int showState)
{
    RegisterMainClass(module);
    Note("RegisterMainClass");
    CreateMainWindow(module, showState);
    Note("CreateMainWindow");
    HACCEL accelerators = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    Note("LoadAcceleratorsA");
    return accelerators;
}

LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void StartLikeTheMinimalWindow(HINSTANCE module, int showState)
{
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = MinimalProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "MinimalWindow";
    RegisterClassA(&windowClass);
    Note("RegisterClassA");
    HWND window = CreateWindowExA(0, "MinimalWindow", "Minimal", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, NULL, NULL,
                                  module, NULL);
    Note("CreateWindowExA");
    ShowWindow(window, showState);
    Note("ShowWindow (now visible)");
    UpdateWindow(window);
    Note("UpdateWindow");
}

const char *ArgumentAfter(const char *name, const char *fallback)
{
    for (int i = 1; i + 1 < __argc; i++)
        if (!std::strcmp(__argv[i], name))
            return __argv[i + 1];
    return fallback;
}

} // namespace

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int showState)
{
    Note("entry");
    const char *out = ArgumentAfter("--out", NULL);
    std::string mode = ArgumentAfter("--mode", "steps");

    HACCEL accelerators = NULL;
    if (mode == "product")
        accelerators = StartWithTheProgramsCode(module, showState);
    else if (mode == "minimal")
        StartLikeTheMinimalWindow(module, showState);
    else
        accelerators = StartLikeTheProgram(module, showState);

    if (out) {
        if (FILE *file = std::fopen(out, "w")) {
            for (const Reading &r : readings)
                std::fprintf(file, "%s\t%.1f\n", r.what, r.at);
            std::fclose(file);
        }
    }
    if (accelerators)
        return static_cast<int>(RunMessageLoop(accelerators));
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
