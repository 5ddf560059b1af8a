// Resource and command identifiers.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_MAIN 102
#define IDD_ABOUTBOX 134
#define IDB_ABOUT 138

#define IDC_LOG 1000
#define IDC_READ 1001
#define IDC_WRITE 1002
#define IDC_PROGRESS 1003
#define IDC_ABOUT 1004
#define IDC_SWITCH 1005

// System-menu items of the main dialog.
#define IDM_ABOUTBOX 107
#define IDM_REG_FILETYPES 108
#define IDM_UNREG_FILETYPES 109

// Notifications from a transfer's worker thread to the main dialog, sent as
// WM_COMMAND with the number as the whole first parameter.
#define ID_NOTIFY_UPDATE_LOG 101
#define ID_NOTIFY_BEGIN 103
#define ID_NOTIFY_END 104
#define ID_NOTIFY_CLEAR_LOG 105
