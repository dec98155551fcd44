/* Every number the program and its resource script share, grouped by kind.
 * Kept free of anything but #define so the resource compiler can read it. */
#ifndef LUMAQUILL_IDS_H
#define LUMAQUILL_IDS_H

/* Commands, from the menu and the accelerator keys */
#define IDM_EXIT                1000
#define IDM_JCHAT               40001
#define IDM_CHITCHAT            40002
#define IDM_ERASE_AFTER_SEND    40003
#define IDM_HABITAT             40004
#define IDM_ALWAYS_ON_TOP       40005
#define IDM_SEND                40006

/* Menu and accelerator tables */
#define IDR_MAINMENU            103
#define IDR_ACCELERATORS        105

/* Strings */
#define IDS_CLASS_NAME          1
#define IDS_TITLE               2

/* Icons */
#define IDI_MAIN                101

/* Version record */
#define IDV_VERSION             1

#endif
