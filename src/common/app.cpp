#include "app.h"

/* Every start begins from these values; nothing is ever saved. */
AppSettings appSettings = { 0, 0, 0 };
HWND mainWindow;
HWND inputBox;
HWND sendButton;
