#include "jobs/TransferJob.h"

#include "engine/DiskCopier.h"
#include "res/resource.h"
#include "ui/DiskCopyDlg.h"

CTransferJob::CTransferJob() {}

CTransferJob::~CTransferJob() {}

UINT TransferThreadProc(LPVOID pParam) {
  CTransferJob* pJob = static_cast<CTransferJob*>(pParam);
  const HWND hDlg = pJob->m_pDlg->GetSafeHwnd();
  // Taken now: once the end notification is answered the dialog may be gone.
  const HWND hProgress = pJob->m_pDlg->m_progress.GetSafeHwnd();

  SendMessageA(hDlg, WM_COMMAND, ID_NOTIFY_CLEAR_LOG, 0);
  SendMessageA(hDlg, WM_COMMAND, ID_NOTIFY_BEGIN, 0);

  CDiskCopier copier;
  copier.m_pDlg = pJob->m_pDlg;
  if (pJob->m_bDiskToImage) {
    copier.ReadDiskToImage(pJob->m_strDrive, pJob->m_strImagePath);
  } else {
    copier.WriteImageToDisk(pJob->m_strImagePath, pJob->m_strDrive);
  }

  SendMessageA(hDlg, WM_COMMAND, ID_NOTIFY_END, 0);
  SendMessageA(hProgress, PBM_SETPOS, 0, 0);
  delete pJob;
  return 0;
}
