#include "engine/DiskCopier.h"

#include "engine/ImageTarget.h"
#include "res/resource.h"
#include "ui/DiskCopyDlg.h"

CDiskCopier::CDiskCopier() {}

CDiskCopier::~CDiskCopier() {}

BOOL CDiskCopier::LockVolume(HANDLE hDevice) {
  DWORD cbReturned;
  return DeviceIoControl(hDevice, FSCTL_LOCK_VOLUME, NULL, 0, NULL, 0, &cbReturned, NULL);
}

BOOL CDiskCopier::GetDriveGeometry(HANDLE hDevice, DISK_GEOMETRY* pGeometry) {
  DWORD cbReturned;
  return DeviceIoControl(hDevice, IOCTL_DISK_GET_DRIVE_GEOMETRY, NULL, 0, pGeometry, sizeof(DISK_GEOMETRY),
                         &cbReturned, NULL);
}

DWORD CDiskCopier::GetMediaTypes(HANDLE hDevice) {
  DWORD cbReturned = 0;
  if (DeviceIoControl(hDevice, IOCTL_DISK_GET_MEDIA_TYPES, NULL, 0, m_mediaTypes, sizeof(m_mediaTypes),
                      &cbReturned, NULL)) {
    m_nMediaTypes = cbReturned / sizeof(DISK_GEOMETRY);
  } else {
    m_nMediaTypes = 0;
  }
  return m_nMediaTypes;
}

BOOL CDiskCopier::DismountVolume(HANDLE hDevice) {
  DWORD cbReturned;
  return DeviceIoControl(hDevice, FSCTL_DISMOUNT_VOLUME, NULL, 0, NULL, 0, &cbReturned, NULL);
}

BOOL CDiskCopier::UnlockVolume(HANDLE hDevice) {
  DWORD cbReturned;
  return DeviceIoControl(hDevice, FSCTL_UNLOCK_VOLUME, NULL, 0, NULL, 0, &cbReturned, NULL);
}

void CDiskCopier::AppendLog(CString strText) {
  m_pDlg->m_strLog += strText;
  SendMessageA(m_pDlg->GetSafeHwnd(), WM_COMMAND, ID_NOTIFY_UPDATE_LOG, 0);
}

void CDiskCopier::SetProgress(DWORD nPosition) {
  SendMessageA(m_pDlg->m_progress.GetSafeHwnd(), PBM_SETPOS, nPosition, 0);
}

BOOL CDiskCopier::StopRequested() const {
  return InterlockedCompareExchange(&m_pDlg->m_lStopRequest, 0, 0) != 0;
}

// Copies at most nCylinders cylinders of cbCylinder bytes, sending before each
// the share still to copy as the progress position. The copy is complete when
// at least cbExpected bytes have been copied: once the passes are done, or when a read
// then delivers nothing. Anything less is a read error, so a short source is
// never reported as a whole one.
CDiskCopier::CopyResult CDiskCopier::CopyCylinders(HANDLE hFrom, HANDLE hTo, LPVOID pBuffer, DWORD cbCylinder,
                                                   DWORD nCylinders, ULONGLONG cbExpected) {
  DWORD nRemaining = nCylinders;
  DWORD nNumerator = nCylinders * 100;
  ULONGLONG cbCopied = 0;
  while (nRemaining > 0) {
    if (StopRequested()) {
      AppendLog("cancelled\r\n");
      return copyCancelled;
    }
    SetProgress(nNumerator / nCylinders);
    DWORD cbRead = 0;
    if (!ReadFile(hFrom, pBuffer, cbCylinder, &cbRead, NULL)) {
      AppendLog("fatal read error\r\n");
      return copyFailed;
    }
    if (cbRead == 0) {
      if (cbCopied > 0 && cbCopied >= cbExpected) return copyComplete;
      AppendLog("fatal read error\r\n");
      return copyFailed;
    }
    DWORD cbWritten = 0;
    if (!WriteFile(hTo, pBuffer, cbRead, &cbWritten, NULL) || cbWritten != cbRead) {
      AppendLog("fatal write error\r\n");
      return copyFailed;
    }
    cbCopied += cbRead;
    nRemaining--;
    nNumerator -= 100;
  }
  if (cbCopied < cbExpected) {
    AppendLog("fatal read error\r\n");
    return copyFailed;
  }
  return copyComplete;
}

// What differs between the directions around the copy: how the volume is
// opened, the log texts, and the copy itself.
struct CDiskCopier::Direction {
  DWORD dwAccess;
  DWORD dwShareMode;
  const char* pszLockError;
  const char* pszGeometryError;
  const char* pszMediaTypesError;
  void (CDiskCopier::*pfnCopy)(const CString& strImagePath);
};

void CDiskCopier::ReadDiskToImage(CString strDrive, CString strImagePath) {
  static const Direction kRead = {GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  "error locking disk\r\n",
                                  "error eruating disk geometry\r\n",
                                  "error, disk format not supported\r\n",
                                  &CDiskCopier::CopyVolumeToImage};
  TransferOnVolume(kRead, strDrive, "locking and checking volume " + strDrive + "...", strImagePath);
}

void CDiskCopier::WriteImageToDisk(CString strImagePath, CString strDrive) {
  static const Direction kWrite = {GENERIC_WRITE,
                                   FILE_SHARE_WRITE,
                                   "error locking volume\r\n",
                                   "error getting disk geometry\r\n",
                                   "error, disk geometry not supported\r\n",
                                   &CDiskCopier::CopyImageToVolume};
  TransferOnVolume(kWrite, strDrive, "checking and locking volume...", strImagePath);
}

// Opens and locks the volume, reads its geometry and media types, lets the
// direction copy, and gives the volume back: the dismount and the unlock only
// when the lock was had, the handle always.
void CDiskCopier::TransferOnVolume(const Direction& direction, const CString& strDrive, const CString& strLockPiece,
                                   const CString& strImagePath) {
  m_hDevice = CreateFileA("\\\\.\\" + strDrive, direction.dwAccess, direction.dwShareMode, NULL, OPEN_EXISTING, 0,
                          NULL);
  AppendLog("opening disk " + strDrive + "...");
  if (m_hDevice == INVALID_HANDLE_VALUE) {
    AppendLog("error\r\n");
    return;
  }
  AppendLog("ok\r\n");
  AppendLog(strLockPiece);
  if (!LockVolume(m_hDevice)) {
    AppendLog(direction.pszLockError);
    CloseHandle(m_hDevice);
    return;
  }
  if (!GetDriveGeometry(m_hDevice, &m_geometry)) {
    AppendLog(direction.pszGeometryError);
  } else if (GetMediaTypes(m_hDevice) == 0) {
    AppendLog(direction.pszMediaTypesError);
  } else {
    AppendLog("ok\r\n");
    (this->*direction.pfnCopy)(strImagePath);
  }
  DismountVolume(m_hDevice);
  UnlockVolume(m_hDevice);
  AppendLog("unlocking volume...ok\r\n");
  CloseHandle(m_hDevice);
}

void CDiskCopier::CopyVolumeToImage(const CString& strImagePath) {
  CImageTarget target;
  m_hImage = target.Create(strImagePath);
  AppendLog("checking for geometry support...");
  if (m_hImage == INVALID_HANDLE_VALUE) {
    AppendLog("error\r\n");
    return;
  }
  AppendLog("ok\r\n");
  const DWORD cbCylinder = m_geometry.BytesPerSector * m_geometry.SectorsPerTrack * m_geometry.TracksPerCylinder;
  const DWORD nCylinders = m_geometry.Cylinders.u.LowPart;
  LPVOID pBuffer = VirtualAlloc(NULL, cbCylinder, MEM_COMMIT, PAGE_READWRITE);
  AppendLog("reading disk...");
  if (pBuffer == NULL) {
    AppendLog("error allocating buffer\r\n");
    target.Abandon(m_hImage);
    return;
  }
  const CopyResult result =
      CopyCylinders(m_hDevice, m_hImage, pBuffer, cbCylinder, nCylinders, ULONGLONG(nCylinders) * cbCylinder);
  VirtualFree(pBuffer, 0, MEM_RELEASE);
  if (result != copyComplete) {
    target.Abandon(m_hImage);
  } else if (target.Commit(m_hImage)) {
    AppendLog("ok\r\n");
  } else {
    AppendLog("fatal write error\r\n");
  }
}

void CDiskCopier::CopyImageToVolume(const CString& strImagePath) {
  m_hImage = CreateFileA(strImagePath, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
  AppendLog("opening image file...");
  if (m_hImage == INVALID_HANDLE_VALUE) {
    AppendLog("error\r\n");
    return;
  }
  AppendLog("ok\r\n");
  // The whole size counts: an image of 4 GiB or more fits no floppy format.
  // A failed query reads as the largest 32-bit size.
  DWORD dwSizeHigh = 0;
  const DWORD dwSizeLow = GetFileSize(m_hImage, &dwSizeHigh);
  const ULONGLONG cbImage = dwSizeHigh != 0 ? ~0ULL : ULONGLONG(dwSizeLow);

  // The first media type, in the drive's order, that can hold the image and
  // whose cylinder buffer can be allocated. The capacity is reckoned in 64
  // bits so that a volume of 4 GiB or more is not judged by a wrapped size.
  const DISK_GEOMETRY* pChosen = NULL;
  LPVOID pBuffer = NULL;
  DWORD cbChunk = 0;
  for (DWORD i = 0; i < m_nMediaTypes && pChosen == NULL; i++) {
    const DISK_GEOMETRY& entry = m_mediaTypes[i];
    const DWORD cbCylinder = entry.TracksPerCylinder * entry.SectorsPerTrack * entry.BytesPerSector;
    const ULONGLONG cbCapacity = ULONGLONG(cbCylinder) * entry.Cylinders.u.LowPart;
    if (cbCapacity < cbImage) continue;
    pBuffer = VirtualAlloc(NULL, cbCylinder, MEM_COMMIT, PAGE_READWRITE);
    if (pBuffer == NULL) {
      AppendLog("error allocating copy buffer\r\n");
      continue;
    }
    pChosen = &entry;
    cbChunk = cbCylinder;
  }
  if (pChosen == NULL) {
    AppendLog("error, geometry not supported on drive\r\n");
    CloseHandle(m_hImage);
    return;
  }

  AppendLog("writing image to disk...");
  const CopyResult result =
      CopyCylinders(m_hImage, m_hDevice, pBuffer, cbChunk, pChosen->Cylinders.u.LowPart, cbImage);
  SetProgress(1);
  if (result == copyComplete) AppendLog("ok\r\n");
  VirtualFree(pBuffer, 0, MEM_RELEASE);
  CloseHandle(m_hImage);
}
