#include "app/DiskCopyApp.h"

#include "ui/DiskCopyDlg.h"

BEGIN_MESSAGE_MAP(CDiskCopyApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CDiskCopyApp::CDiskCopyApp() : CWinApp(NULL) {}

CDiskCopyApp::~CDiskCopyApp() {}

// The one application object.
CDiskCopyApp theApp;

BOOL CDiskCopyApp::InitInstance() {
  Enable3dControlsStatic();
  CDiskCopyDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  return FALSE;
}
