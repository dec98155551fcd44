/* The program's entry: start the window, then run until it is closed. */
#include "../common/app.h"
#include "main_window.h"

int WINAPI WinMain(HINSTANCE module, HINSTANCE previous, LPSTR commandLine, int showState)
{
    (void)previous;
    (void)commandLine;
    /* A start that failed must not look like a normal end to whoever ran us. */
    if (!RegisterMainClass(module))
        return 1;
    if (!CreateMainWindow(module, showState))
        return 1;
    HACCEL accelerators = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    return (int)RunMessageLoop(accelerators);
}
