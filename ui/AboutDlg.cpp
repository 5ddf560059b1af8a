#include "ui/AboutDlg.h"

#include "ui/DiskCopyDlg.h"

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent) {}

CAboutDlg::~CAboutDlg() {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }

void CDiskCopyDlg::OnAboutCommand() {
  CAboutDlg dlgAbout;
  dlgAbout.DoModal();
}
