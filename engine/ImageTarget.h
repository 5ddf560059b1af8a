// The image file a read creates. It is built under a temporary name in the
// chosen file's folder and takes the chosen name only at the end, so a read
// that fails never destroys a file that was there before.
#pragma once

#include "platform/afx.h"

class CImageTarget {
 public:
  // Opens a new, empty temporary file beside strPath for writing;
  // INVALID_HANDLE_VALUE when it cannot be created, or when a file of that
  // name exists and cannot be replaced.
  HANDLE Create(const CString& strPath);
  // After a complete copy: flushes and closes the image and puts it in place
  // of any earlier file, atomically. FALSE when it could not be put there; the
  // temporary file is then gone and an earlier file is untouched.
  BOOL Commit(HANDLE hImage);
  // After a failed copy: closes the image; it takes the chosen name only when
  // no file had it when the transfer began, and is removed otherwise.
  void Abandon(HANDLE hImage);

 private:
  CString m_strPath;
  CString m_strTemp;
  BOOL m_bExisted = FALSE;
};
