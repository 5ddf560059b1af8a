#include "ui/DiskCopyDlg.h"

BEGIN_MESSAGE_MAP(CDiskCopyDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_READ, OnReadDisk)
ON_BN_CLICKED(IDC_WRITE, OnWriteDisk)
ON_BN_CLICKED(IDC_ABOUT, OnAboutCommand)
ON_BN_CLICKED(IDC_SWITCH, OnSwitchDrive)
ON_WM_SYSCOMMAND()
ON_WM_SETCURSOR()
END_MESSAGE_MAP()

CDiskCopyDlg::CDiskCopyDlg(CWnd* pParent)
    : CDialog(IDD_MAIN, pParent), m_lStopRequest(0), m_bBusy(FALSE), m_nCloseAfterTransfer(0) {
  m_strLog = "";
  m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

CDiskCopyDlg::~CDiskCopyDlg() {}

void CDiskCopyDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_SWITCH, m_btnSwitch);
  DDX_Control(pDX, IDC_WRITE, m_btnWrite);
  DDX_Control(pDX, IDC_READ, m_btnRead);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
  DDX_Text(pDX, IDC_LOG, m_strLog);
}

BOOL CDiskCopyDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  CMenu* pSysMenu = GetSystemMenu(FALSE);
  if (pSysMenu != NULL) {
    pSysMenu->AppendMenu(MF_SEPARATOR);
    pSysMenu->AppendMenu(MF_STRING, IDM_REG_FILETYPES, "&Reg Filetypes");
    pSysMenu->AppendMenu(MF_STRING, IDM_UNREG_FILETYPES, "&UnReg Filetypes");
    pSysMenu->AppendMenu(MF_SEPARATOR);
    pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, "&About...");
  }

  m_progress.SendMessage(PBM_SETRANGE, 0, 0x00640001);
  m_progress.SendMessage(PBM_SETPOS, 1, 0);

  m_nDrive = 1;
  OnSwitchDrive();

  // A command line with an image and a drive writes the image at once.
  if (__argc > 2) {
    const CString strDrive = __argv[2];
    if (strDrive == "b:" || strDrive == "B:") OnSwitchDrive();
    StartWriteFromPath(__argv[1]);
  }
  return TRUE;
}

void CDiskCopyDlg::OnSwitchDrive() {
  m_nDrive = (m_nDrive + 1) % 2;
  if (m_nDrive == 0) {
    m_btnRead.SetWindowText("Read A:");
    m_btnWrite.SetWindowText("Write A:");
  } else {
    m_btnRead.SetWindowText("Read B:");
    m_btnWrite.SetWindowText("Write B:");
  }
}

void CDiskCopyDlg::EnableTransferButtons(BOOL bEnable) {
  m_btnRead.EnableWindow(bEnable);
  m_btnWrite.EnableWindow(bEnable);
  m_btnSwitch.EnableWindow(bEnable);
}

BOOL CDiskCopyDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (wParam) {
    case ID_NOTIFY_UPDATE_LOG:
      UpdateData(FALSE);
      break;
    case ID_NOTIFY_BEGIN:
      EnableTransferButtons(FALSE);
      break;
    case ID_NOTIFY_END:
      EnableTransferButtons(TRUE);
      m_bBusy = FALSE;
      // The user chose to stop and close: the worker no longer needs the
      // dialog, so it may end now.
      if (m_nCloseAfterTransfer == IDOK) {
        CDialog::OnOK();
      } else if (m_nCloseAfterTransfer == IDCANCEL) {
        CDialog::OnCancel();
      }
      break;
    case ID_NOTIFY_CLEAR_LOG:
      m_strLog = "";
      UpdateData(FALSE);
      break;
    default:
      break;
  }
  return CDialog::OnCommand(wParam, lParam);
}

LRESULT CDiskCopyDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DROPFILES) {
    OnDropFiles(reinterpret_cast<HDROP>(wParam));
  } else if (message == WM_SYSCOMMAND && wParam == IDM_ABOUTBOX) {
    OnAboutCommand();
  } else if (message == WM_SYSCOMMAND && wParam == IDM_REG_FILETYPES) {
    RegisterFileTypes();
  } else if (message == WM_SYSCOMMAND && wParam == IDM_UNREG_FILETYPES) {
    UnregisterFileTypes();
  }
  return CDialog::WindowProc(message, wParam, lParam);
}

// The dialog never ends while a worker refers to it. During a transfer the
// user may stop it: the worker ends at the next cylinder and the dialog closes
// when its end notification arrives.
BOOL CDiskCopyDlg::MayCloseNow(int nCommand) {
  if (!m_bBusy) return TRUE;
  if (m_nCloseAfterTransfer != 0) return FALSE;
  if (AfxMessageBox("transfer in progress! stop it and close?", MB_ICONWARNING | MB_YESNO) != IDYES) return FALSE;
  if (!m_bBusy) return TRUE;  // it ended while the question was open
  m_nCloseAfterTransfer = nCommand;
  InterlockedExchange(&m_lStopRequest, 1);
  return FALSE;
}

void CDiskCopyDlg::OnOK() {
  if (MayCloseNow(IDOK)) CDialog::OnOK();
}

void CDiskCopyDlg::OnCancel() {
  if (MayCloseNow(IDCANCEL)) CDialog::OnCancel();
}

void CDiskCopyDlg::OnPaint() {
  if (IsIconic()) {
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    const int x = (rect.Width() - cxIcon + 1) / 2;
    const int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
  } else {
    CDialog::OnPaint();
  }
}

HCURSOR CDiskCopyDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CDiskCopyDlg::OnSysCommand(UINT nID, LPARAM lParam) { CDialog::OnSysCommand(nID, lParam); }

BOOL CDiskCopyDlg::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) {
  return CDialog::OnSetCursor(pWnd, nHitTest, message);
}
