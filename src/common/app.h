/* Process-wide state: the settings the menu changes and the three windows
 * everything else talks to. Set up once at start-up, kept until exit. */
#ifndef LUMAQUILL_APP_H
#define LUMAQUILL_APP_H

#include <windows.h>
#include "ids.h"

struct AppSettings {
    LONG targetIndex;     /* row of TargetTable the next pass types into */
    LONG eraseAfterSend;  /* 1: a pass takes the lines that arrived out of the input box */
    LONG alwaysOnTop;     /* 1: the main window is top-most */
};

extern AppSettings appSettings;
extern HWND mainWindow;
extern HWND inputBox;
extern HWND sendButton;

#endif
