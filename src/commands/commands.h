/* What every command does, and the menu's check marks that show the settings. */
#ifndef LUMAQUILL_COMMANDS_H
#define LUMAQUILL_COMMANDS_H

#include <windows.h>

void OnCommand(HWND window, int id, HWND control, UINT notifyCode);
void UpdateMenuChecks(HMENU menu);

#endif
