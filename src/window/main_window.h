#ifndef LUMAQUILL_MAIN_WINDOW_H
#define LUMAQUILL_MAIN_WINDOW_H

#include <windows.h>

int RegisterMainClass(HINSTANCE module);
int CreateMainWindow(HINSTANCE module, int showState);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void LayoutChildren(HWND window);
WPARAM RunMessageLoop(HACCEL accelerators);

#endif
