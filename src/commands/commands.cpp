#include "../common/app.h"
#include "../sending/sending.h"
#include "commands.h"

/* The mark follows the window: if the window manager refuses the change,
 * the setting keeps its old value rather than claim a state we are not in. */
static void ToggleAlwaysOnTop(HWND window)
{
    LONG wanted = appSettings.alwaysOnTop ^ 1;
    if (SetWindowPos(window, wanted ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE))
        appSettings.alwaysOnTop = wanted;
}

void OnCommand(HWND window, int id, HWND control, UINT notifyCode)
{
    (void)notifyCode;
    /* Both children carry identifier 0, so the button is known by its handle;
     * menu items and keys carry no handle and are never mistaken for it. */
    if (control && control == sendButton) {
        SendText();
        return;
    }
    switch (id) {
    case IDM_EXIT:              DestroyWindow(window); break;
    case IDM_JCHAT:             appSettings.targetIndex = 0; break;
    case IDM_CHITCHAT:          appSettings.targetIndex = 1; break;
    case IDM_ERASE_AFTER_SEND:  appSettings.eraseAfterSend ^= 1; break;
    case IDM_HABITAT:           appSettings.targetIndex = 2; break;
    case IDM_ALWAYS_ON_TOP:     ToggleAlwaysOnTop(window); break;
    case IDM_SEND:              SendText(); break;
    }
}

static UINT Mark(int on)
{
    return MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED);
}

/* Called as any popup opens; items not in that popup are left alone by the
 * window manager, so the window menu is harmless here. */
void UpdateMenuChecks(HMENU menu)
{
    CheckMenuItem(menu, IDM_JCHAT, Mark(appSettings.targetIndex == 0));
    CheckMenuItem(menu, IDM_CHITCHAT, Mark(appSettings.targetIndex == 1));
    CheckMenuItem(menu, IDM_HABITAT, Mark(appSettings.targetIndex == 2));
    CheckMenuItem(menu, IDM_ERASE_AFTER_SEND, Mark(appSettings.eraseAfterSend));
    CheckMenuItem(menu, IDM_ALWAYS_ON_TOP, Mark(appSettings.alwaysOnTop));
}
