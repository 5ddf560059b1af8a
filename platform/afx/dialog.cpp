// Dialogs: created from their templates, run modally, ended by OK or cancel.
#include "platform/afx.h"
#include "platform/afx/internal.h"
#include "platform/ui/internal.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
  // Without a parent the dialog belongs to the application's main window,
  // which takes no input while the dialog runs.
  CWnd* owner = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
  const HWND hwndOwner = owner != nullptr && owner != this ? owner->m_hWnd : nullptr;
  const HWND hwnd = platform::ui::CreateDialogFromTemplate(WORD(m_nIDHelp), hwndOwner, &AfxWndProc, this);
  if (hwnd == nullptr) return -1;
  const INT_PTR result = platform::ui::RunModalDialog(hwnd);
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
  AfxDetachDestroyedWindows();
  return result;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  if (pParentWnd != nullptr) m_pParentWnd = pParentWnd;
  const HWND hwndOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
  const HWND hwnd = platform::ui::CreateDialogFromTemplate(WORD(nIDTemplate), hwndOwner, &AfxWndProc, this);
  if (hwnd == nullptr) return FALSE;
  if (platform::ui::StyleOf(hwnd) & WS_VISIBLE) ::ShowWindow(hwnd, SW_SHOW);
  return TRUE;
}

void CDialog::EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

// A command the dialog does not handle goes on to the application.
BOOL CDialog::OnCmdMsg(UINT nID, int nCode) {
  if (CWnd::OnCmdMsg(nID, nCode)) return TRUE;
  CWinApp* app = AfxGetApp();
  return app != nullptr ? app->OnCmdMsg(nID, nCode) : FALSE;
}
