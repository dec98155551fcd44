/* The least that typing a line into a chat client takes: look the client up,
 * raise it, wait half a second, walk to its eighth child, set the text and
 * post Enter. Nothing is checked or bounded. The per-line figure of the
 * program is measured against this floor, in the same run.
 *
 *   floor_sender LINE...   each line in turn, into the first client's class */
#include <windows.h>

#include "chat_clients.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    for (int i = 1; i < __argc; i++) {
        HWND client = FindWindowA(kChatClientClasses[0], NULL);
        if (!client)
            return 1;
        BringWindowToTop(client);
        Sleep(kLineWaitMs);
        HWND field = GetWindow(client, GW_CHILD);
        for (int step = 1; step < kFieldChild; step++)
            field = GetWindow(field, GW_HWNDNEXT);
        SendMessageA(field, WM_SETTEXT, 0, (LPARAM)__argv[i]);
        PostMessageA(field, WM_KEYDOWN, VK_RETURN, kEnterKeyLParam);
    }
    return 0;
}
