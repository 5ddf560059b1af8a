// The dialog templates of the program.
#include "platform/resources.h"
#include "platform/win32.h"
#include "res/resource.h"

namespace {

using platform::res::DialogItem;
using platform::res::DialogTemplate;

const DWORD kPushButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

const DialogTemplate kMain = {
    IDD_MAIN,
    true,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    WS_EX_APPWINDOW | WS_EX_ACCEPTFILES,
    0, 0, 225, 66,
    "Varnel for WinNT",
    8, 0, false, 1, "MS Sans Serif",
    0,
    {
        {WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY,
         WS_EX_STATICEDGE, 8, 6, 117, 52, IDC_LOG, "edit", "", 0},
        {kPushButton, WS_EX_STATICEDGE, 131, 6, 50, 14, IDC_READ, "button", "&Read A:", 0},
        {kPushButton, WS_EX_STATICEDGE, 131, 25, 50, 14, IDC_WRITE, "button", "&Write A:", 0},
        {WS_CHILD | WS_VISIBLE | PBS_SMOOTH | PBS_VERTICAL, 0, 187, 6, 30, 52, IDC_PROGRESS, "msctls_progress32",
         "Progress1", 0},
        {kPushButton, WS_EX_STATICEDGE, 131, 44, 50, 14, IDC_SWITCH, "button", "&Switch", 0},
    },
};

const DialogTemplate kAbout = {
    IDD_ABOUTBOX,
    false,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTERMOUSE | DS_MODALFRAME | DS_SETFONT,
    0,
    0, 0, 320, 170,
    "Info about...",
    8, 0, false, 1, "MS Sans Serif",
    0,
    {
        {WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_REALSIZEIMAGE | SS_SUNKEN, 0, 6, 7, 307, 156, 0xFFFF, "static",
         nullptr, IDB_ABOUT},
    },
};

struct Registration {
  Registration() {
    platform::res::Register(kMain);
    platform::res::Register(kAbout);
  }
} registration;

}  // namespace
