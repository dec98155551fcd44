/* The program's frame: the window class, the main window with its input box
 * and Send button, their layout, and the message loop. */
#include "../common/app.h"
#include "../commands/commands.h"
#include "main_window.h"

static const int kButtonHeight = 32;
static const int kWindowWidth = 320;
static const int kWindowHeight = 240;
static const DWORD kInputBoxStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;
static const DWORD kSendButtonStyle = WS_CHILD | WS_VISIBLE;
static const char kSendCaption[] = "\x91\x97\x90\x4D"; /* 送信 */

static char className[256];
static char title[256];
static HINSTANCE instance;

int RegisterMainClass(HINSTANCE module)
{
    LoadStringA(module, IDS_CLASS_NAME, className, sizeof className);
    LoadStringA(module, IDS_TITLE, title, sizeof title);

    WNDCLASSEXA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = module;
    /* No icon carries the class's name, so this finds none; the small icon
     * below is the one the window shows. */
    windowClass.hIcon = LoadIconA(module, className);
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    windowClass.lpszClassName = className;
    windowClass.hIconSm = (HICON)LoadImageA(module, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    if (RegisterClassExA(&windowClass))
        return 1;

    /* Systems without the extended class record take the older form. */
    WNDCLASSA older;
    older.style = windowClass.style;
    older.lpfnWndProc = windowClass.lpfnWndProc;
    older.cbClsExtra = 0;
    older.cbWndExtra = 0;
    older.hInstance = windowClass.hInstance;
    older.hIcon = windowClass.hIcon;
    older.hCursor = windowClass.hCursor;
    older.hbrBackground = windowClass.hbrBackground;
    older.lpszMenuName = windowClass.lpszMenuName;
    older.lpszClassName = windowClass.lpszClassName;
    return RegisterClassA(&older) ? 1 : 0;
}

/* A minimised window has an empty client area: the box then gets no height
 * rather than a negative one. */
static int InputBoxHeight(const RECT *client)
{
    int height = client->bottom - kButtonHeight;
    return height > 0 ? height : 0;
}

int CreateMainWindow(HINSTANCE module, int showState)
{
    instance = module;
    mainWindow = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, kWindowWidth, kWindowHeight,
                                 NULL, NULL, module, NULL);
    if (!mainWindow)
        return 0;
    ShowWindow(mainWindow, showState);
    UpdateWindow(mainWindow);

    /* The children come after the window is shown, so the sizing messages of
     * creation find nothing to move and their first place is this one. */
    RECT client;
    GetClientRect(mainWindow, &client);
    inputBox = CreateWindowExA(0, "EDIT", NULL, kInputBoxStyle, client.left, client.top, client.right,
                               InputBoxHeight(&client), mainWindow, NULL, instance, NULL);
    sendButton = CreateWindowExA(0, "BUTTON", kSendCaption, kSendButtonStyle, client.left,
                                 client.bottom - kButtonHeight, client.right, kButtonHeight,
                                 mainWindow, NULL, instance, NULL);
    return 1;
}

void LayoutChildren(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    MoveWindow(inputBox, client.left, client.top, client.right, InputBoxHeight(&client), TRUE);
    MoveWindow(sendButton, client.left, client.bottom - kButtonHeight, client.right, kButtonHeight, TRUE);
}

static LRESULT OnDestroy(void)
{
    PostQuitMessage(0);
    return 0;
}

static LRESULT OnSize(HWND window)
{
    LayoutChildren(window);
    return 0;
}

static LRESULT OnPaint(HWND window)
{
    DefWindowProcA(window, WM_PAINT, 0, 0);
    return 0;
}

static LRESULT OnCommandMessage(HWND window, WPARAM wParam, LPARAM lParam)
{
    OnCommand(window, LOWORD(wParam), (HWND)lParam, HIWORD(wParam));
    return 0;
}

static LRESULT OnInitMenuPopup(WPARAM wParam)
{
    UpdateMenuChecks((HMENU)wParam);
    return 0;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:        return OnDestroy();
    case WM_SIZE:           return OnSize(window);
    case WM_PAINT:          return OnPaint(window);
    case WM_COMMAND:        return OnCommandMessage(window, wParam, lParam);
    case WM_INITMENUPOPUP:  return OnInitMenuPopup(wParam);
    default:                return DefWindowProcA(window, message, wParam, lParam);
    }
}

/* Keys are translated for the window they were typed into: Ctrl+A and Ctrl+Q
 * typed in the input box become commands for the box, which ignores them. */
WPARAM RunMessageLoop(HACCEL accelerators)
{
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        if (TranslateAcceleratorA(message.hwnd, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return message.wParam;
}
