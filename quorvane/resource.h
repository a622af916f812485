// Resource numbers of Quorvane.dll's own dialogs (res/quorvane.rc).
#pragma once

#define IDD_GENERAL_OPTIONS 2472
#define IDC_OPT_TRAYICON 1001
#define IDC_OPT_FLYINGICON 1002
#define IDC_OPT_SILENT 1003
#define IDC_OPT_STARTUP 1004
#define IDC_OPT_HOTKEY 1005

#define IDD_ABOUT 2540
#define IDC_ABOUT_ICON 1101
#define IDC_ABOUT_TITLE 1102
#define IDC_ABOUT_VERSION 1103
#define IDC_ABOUT_WEBPAGE 1104
