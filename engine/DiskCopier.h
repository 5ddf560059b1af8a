// The worker-side state of one transfer between a floppy volume and an image
// file, the volume operations, and both transfer directions.
#pragma once

#include "platform/afx.h"

class CDiskCopyDlg;

class CDiskCopier {
 public:
  CDiskCopier();
  virtual ~CDiskCopier();

  CDiskCopyDlg* m_pDlg;           // receives the log and the progress; not owned
  DISK_GEOMETRY m_geometry;       // as GetDriveGeometry last returned it
  HANDLE m_hImage;                // the image file while a transfer holds it
  HANDLE m_hDevice;               // the volume while a transfer holds it
  DISK_GEOMETRY m_mediaTypes[20]; // as GetMediaTypes last returned them
  DWORD m_nMediaTypes;            // valid records in m_mediaTypes

  // The volume operations: one control each, no log output.
  BOOL LockVolume(HANDLE hDevice);
  BOOL GetDriveGeometry(HANDLE hDevice, DISK_GEOMETRY* pGeometry);
  DWORD GetMediaTypes(HANDLE hDevice);
  BOOL DismountVolume(HANDLE hDevice);
  BOOL UnlockVolume(HANDLE hDevice);

  // Appends one piece to the dialog's log and has the dialog show it.
  void AppendLog(CString strText);
  // Moves the dialog's progress bar.
  void SetProgress(DWORD nPosition);

  // Copies the whole volume in the drive into a new image file.
  void ReadDiskToImage(CString strDrive, CString strImagePath);
  // Copies an image file onto the volume in the drive.
  void WriteImageToDisk(CString strImagePath, CString strDrive);

 private:
  enum CopyResult { copyComplete, copyFailed, copyCancelled };
  struct Direction;

  void TransferOnVolume(const Direction& direction, const CString& strDrive, const CString& strLockPiece,
                        const CString& strImagePath);
  void CopyVolumeToImage(const CString& strImagePath);
  void CopyImageToVolume(const CString& strImagePath);
  CopyResult CopyCylinders(HANDLE hFrom, HANDLE hTo, LPVOID pBuffer, DWORD cbCylinder, DWORD nCylinders,
                           ULONGLONG cbExpected);
  BOOL StopRequested() const;
};
