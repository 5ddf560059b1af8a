#include "engine/ImageTarget.h"

HANDLE CImageTarget::Create(const CString& strPath) {
  m_strPath = strPath;
  const DWORD dwAttributes = GetFileAttributesA(strPath);
  m_bExisted = dwAttributes != INVALID_FILE_ATTRIBUTES;
  if (m_bExisted) {
    // A file that could not be replaced in place fails now, as its creation
    // would, before the drive is read.
    HANDLE hExisting = CreateFileA(strPath, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (hExisting == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    CloseHandle(hExisting);
  }

  CString strFolder = strPath;
  PathRemoveFileSpecA(strFolder.GetBuffer(0));
  strFolder.ReleaseBuffer();
  if (strFolder.IsEmpty()) strFolder = ".";
  char szTemp[MAX_PATH];
  if (GetTempFileNameA(strFolder, "vnl", 0, szTemp) == 0) return INVALID_HANDLE_VALUE;
  m_strTemp = szTemp;

  HANDLE hImage = CreateFileA(m_strTemp, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (hImage == INVALID_HANDLE_VALUE) DeleteFileA(m_strTemp);
  return hImage;
}

BOOL CImageTarget::Commit(HANDLE hImage) {
  const BOOL bFlushed = FlushFileBuffers(hImage);
  CloseHandle(hImage);
  if (bFlushed && MoveFileExA(m_strTemp, m_strPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return TRUE;
  DeleteFileA(m_strTemp);
  return FALSE;
}

void CImageTarget::Abandon(HANDLE hImage) {
  CloseHandle(hImage);
  // Without the replace flag the move never overwrites a file that appeared
  // under the chosen name meanwhile.
  if (m_bExisted || !MoveFileExA(m_strTemp, m_strPath, MOVEFILE_WRITE_THROUGH)) DeleteFileA(m_strTemp);
}
