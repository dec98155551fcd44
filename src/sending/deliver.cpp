#include "../common/app.h"
#include "sending.h"

const char *const TargetTable[3] = {
    "J-\x83\x60\x83\x83\x83\x62\x83\x67",                 /* Ｊチャット */
    ("\x83\x54\x83\x93\x83\x8A\x83\x49\x81\x40\x83\x60\x83\x62"
     "\x83\x67\x81\x45\x83\x60\x83\x83\x83\x62\x83\x67"), /* サンリオ チットチャット */
    "gracevil",                                          /* HabitatⅡVer2 */
};

/* Bring the client to the front without waiting on it: a client that has
 * stopped answering would otherwise hold our window frozen until it recovers. */
static void RaiseClient(HWND client)
{
    SetWindowPos(client, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
}

typedef BOOL (WINAPI *IsHungAppWindowFunction)(HWND window);

/* Windows 2000 and later can tell us a client has stopped answering;
 * Windows 98, Me and NT 4 cannot, and the program must still load there,
 * so the call is looked up rather than imported. Without it a hung client
 * is held off by the bounded wait alone. */
static int ClientIsHung(HWND client)
{
    IsHungAppWindowFunction isHung = (IsHungAppWindowFunction)(void (*)(void))GetProcAddress(
        GetModuleHandleA("user32.dll"), "IsHungAppWindow");
    return isHung && isHung(client);
}

static HWND FindInputField(HWND client)
{
    HWND field = GetWindow(client, GW_CHILD);
    for (int step = 0; step < kSiblingSteps && field; step++)
        field = GetWindow(field, GW_HWNDNEXT);
    return field;
}

void DeliverLine(const char *line)
{
    HWND client = FindWindowA(TargetTable[appSettings.targetIndex], NULL);
    if (!client)
        return;
    /* A client already known to be hung gets no line: a line it cannot take
     * now is dropped rather than typed late or twice. */
    if (ClientIsHung(client))
        return;
    RaiseClient(client);
    Sleep(kFocusDelayMs);

    /* A window without an input field where we expect one is not a client we
     * can type into; leave it, and our own keyboard focus, alone. */
    HWND field = FindInputField(client);
    if (!field)
        return;
    SetFocus(field);

    /* Enter only follows a text the field took: pressing Enter on a text that
     * did not arrive would send the previous line again. */
    DWORD_PTR taken = 0;
    if (!SendMessageTimeoutA(field, WM_SETTEXT, 0, (LPARAM)line,
                             SMTO_ABORTIFHUNG, kClientTimeoutMs, &taken) || !taken)
        return;
    PostMessageA(field, WM_KEYDOWN, VK_RETURN, kEnterKeyData);
}
