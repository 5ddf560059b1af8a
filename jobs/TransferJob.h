// One transfer request, and the worker thread procedure that carries it out.
#pragma once

#include "platform/afx.h"

class CDiskCopyDlg;

class CTransferJob {
 public:
  CTransferJob();
  virtual ~CTransferJob();

  CDiskCopyDlg* m_pDlg;    // receives the notifications; not owned
  BOOL m_bDiskToImage;     // nonzero: floppy to image; zero: image to floppy
  CString m_strImagePath;
  CString m_strDrive;      // "a:" or "b:"
};

// The worker thread procedure; its parameter is a CTransferJob, which it
// deletes when the transfer has ended.
UINT TransferThreadProc(LPVOID pParam);
