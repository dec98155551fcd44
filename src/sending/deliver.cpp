#include "../common/app.h"
#include "sending.h"

const char *const TargetTable[3] = {
    "J-\x83\x60\x83\x83\x83\x62\x83\x67",                 /* Ｊチャット */
    ("\x83\x54\x83\x93\x83\x8A\x83\x49\x81\x40\x83\x60\x83\x62"
     "\x83\x67\x81\x45\x83\x60\x83\x83\x83\x62\x83\x67"), /* サンリオ チットチャット */
    "gracevil",                                          /* HabitatⅡVer2 */
};

/* The client is raised from our own thread, so that the right to take the
 * foreground, which the user's click on Send gave us, passes to it: asked to
 * raise itself, it would be refused activation. Raising another thread's
 * window waits on that thread, so a client that does not answer within the
 * bound is left alone rather than allowed to freeze our window. */
static int RaiseClient(HWND client)
{
    DWORD_PTR answer;
    if (!SendMessageTimeoutA(client, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kClientTimeoutMs, &answer))
        return 0;
    BringWindowToTop(client);
    return 1;
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

LineOutcome DeliverLine(const char *line)
{
    /* Once the user has stopped the pass, no line is raised or waited for. */
    if (PassStopped())
        return kLineEndsPass;
    HWND client = FindWindowA(TargetTable[appSettings.targetIndex], NULL);
    if (!client)
        return kLineNotDelivered;
    /* A client already known to be hung gets no line: one it cannot take now
     * is left for the pass to keep, rather than typed late or twice. */
    if (ClientIsHung(client))
        return kLineNotDelivered;
    /* A client that did not answer gets no line either: typed late it might
     * arrive out of order, or behind a line the user sends again. */
    if (!RaiseClient(client))
        return kLineNotDelivered;
    /* The stop key ends the pass here, before this line is typed. */
    if (WaitUnlessStopped(kFocusDelayMs))
        return kLineEndsPass;

    /* A window without an input field where we expect one is not a client we
     * can type into; leave it, and our own keyboard focus, alone. */
    HWND field = FindInputField(client);
    if (!field)
        return kLineNotDelivered;
    SetFocus(field);

    /* Enter only follows a text the field took: pressing Enter on a text that
     * did not arrive would send the previous line again. A text the field
     * took gets its Enter even if the stop key came meanwhile, or it would
     * sit in the client's field. */
    DWORD_PTR taken = 0;
    if (!SendMessageTimeoutA(field, WM_SETTEXT, 0, (LPARAM)line,
                             SMTO_ABORTIFHUNG, kClientTimeoutMs, &taken) || !taken)
        return kLineNotDelivered;
    return PostMessageA(field, WM_KEYDOWN, VK_RETURN, kEnterKeyData) ? kLineDelivered : kLineNotDelivered;
}
