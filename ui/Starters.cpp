// The ways a transfer starts: the read and write buttons with their file
// dialogs, the command line and a dropped file. One transfer runs at a time.
#include <cstring>
#include <vector>

#include "jobs/TransferJob.h"
#include "ui/DiskCopyDlg.h"

void CDiskCopyDlg::OnReadDisk() { StartFromButton(TRUE); }

void CDiskCopyDlg::OnWriteDisk() { StartFromButton(FALSE); }

void CDiskCopyDlg::StartFromButton(BOOL bDiskToImage) {
  CTransferJob* pJob = new CTransferJob;
  pJob->m_pDlg = this;
  pJob->m_bDiskToImage = bDiskToImage ? 1 : 0;
  if (!ChooseImageFile(pJob->m_strImagePath, !bDiskToImage)) {
    delete pJob;
    return;
  }
  pJob->m_strDrive = m_nDrive ? "b:" : "a:";
  StartTransfer(pJob);
}

BOOL CDiskCopyDlg::ChooseImageFile(CString& strPath, BOOL bOpen) {
  char szFile[500];
  szFile[0] = '\0';
  OPENFILENAME ofn;
  std::memset(&ofn, 0, sizeof(ofn));
  ofn.lStructSize = sizeof(OPENFILENAME);
  ofn.hwndOwner = m_hWnd;
  ofn.lpstrFilter = "Disk Images *.dsk\0*.dsk\0All Files *.*\0*.*\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = szFile;
  ofn.nMaxFile = sizeof(szFile);
  if (bOpen) {
    ofn.lpstrTitle = "Select Image File to be written to Floppy...";
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  } else {
    ofn.lpstrTitle = "Select Image File to be created...";
    ofn.Flags = OFN_HIDEREADONLY;
  }
  ofn.lpstrDefExt = "DSK";
  if (bOpen) {
    GetOpenFileNameA(&ofn);
  } else {
    GetSaveFileNameA(&ofn);
  }
  if (szFile[0] == '\0') return FALSE;
  strPath = szFile;
  return TRUE;
}

void CDiskCopyDlg::StartWriteFromPath(CString strImagePath) {
  CTransferJob* pJob = new CTransferJob;
  pJob->m_pDlg = this;
  pJob->m_bDiskToImage = 0;
  pJob->m_strImagePath = strImagePath;
  pJob->m_strDrive = m_nDrive ? "b:" : "a:";
  StartTransfer(pJob);
}

void CDiskCopyDlg::OnDropFiles(HDROP hDrop) {
  const UINT nFiles = DragQueryFileA(hDrop, 0xFFFFFFFF, NULL, 0);
  if (nFiles == 1) {
    const UINT nLength = DragQueryFileA(hDrop, 0, NULL, 0);
    std::vector<char> name(nLength + 1);
    DragQueryFileA(hDrop, 0, name.data(), nLength + 1);
    StartWriteFromPath(name.data());
  } else {
    MessageBoxA(m_hWnd, "too many files dropped!", AfxGetApp()->m_pszAppName, MB_ICONWARNING | MB_OK);
  }
  DragFinish(hDrop);
}

// Hands the job to a new worker thread, which owns it from then on. While a
// worker runs no other can start: the request is refused with a warning and
// the running transfer goes on.
BOOL CDiskCopyDlg::StartTransfer(CTransferJob* pJob) {
  if (m_bBusy) {
    delete pJob;
    AfxMessageBox("transfer in progress!", MB_ICONWARNING | MB_OK);
    return FALSE;
  }
  m_bBusy = TRUE;
  InterlockedExchange(&m_lStopRequest, 0);
  EnableTransferButtons(FALSE);
  if (AfxBeginThread(TransferThreadProc, pJob, THREAD_PRIORITY_NORMAL, 0, 0, NULL) == NULL) {
    delete pJob;
    m_bBusy = FALSE;
    EnableTransferButtons(TRUE);
    return FALSE;
  }
  return TRUE;
}
