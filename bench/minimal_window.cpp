/* The least a window program can be: one class, one window, one loop, no
 * resources. Start-up time and size of the program are measured against it. */
#include <windows.h>

static LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int showState)
{
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = MinimalProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "MinimalWindow";
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowExA(0, "MinimalWindow", "Minimal", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                                  NULL, NULL, module, NULL);
    if (!window)
        return 1;
    ShowWindow(window, showState);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
