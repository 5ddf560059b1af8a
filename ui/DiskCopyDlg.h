// The main dialog: the log of the current transfer, its progress, the read,
// write and switch buttons, the system-menu commands and the receiver of the
// worker's notifications.
#pragma once

#include "platform/afx.h"
#include "res/resource.h"

class CTransferJob;

class CDiskCopyDlg : public CDialog {
 public:
  explicit CDiskCopyDlg(CWnd* pParent = NULL);
  ~CDiskCopyDlg() override;

  int m_nDrive;                // 0 = A:, 1 = B:
  CButton m_btnSwitch;
  CButton m_btnWrite;
  CButton m_btnRead;
  CProgressCtrl m_progress;    // the worker sets its position
  CString m_strLog;            // appended to by the worker, shown in IDC_LOG
  HICON m_hIcon;
  // Set when the user asked a running transfer to stop; the worker reads it
  // at every cylinder.
  volatile LONG m_lStopRequest;

  // Starts writing an image onto the selected drive.
  void StartWriteFromPath(CString strImagePath);

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();
  afx_msg void OnReadDisk();
  afx_msg void OnWriteDisk();
  afx_msg void OnAboutCommand();
  afx_msg void OnSwitchDrive();
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);

  BOOL ChooseImageFile(CString& strPath, BOOL bOpen);
  void RegisterFileTypes();
  void UnregisterFileTypes();

  DECLARE_MESSAGE_MAP()

 private:
  void StartFromButton(BOOL bDiskToImage);
  void OnDropFiles(HDROP hDrop);
  BOOL StartTransfer(CTransferJob* pJob);
  void EnableTransferButtons(BOOL bEnable);
  BOOL MayCloseNow(int nCommand);

  BOOL m_bBusy;               // from a worker's start to its end notification
  int m_nCloseAfterTransfer;  // IDOK or IDCANCEL once the user chose to stop and close
};
