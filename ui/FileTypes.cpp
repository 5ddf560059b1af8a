#include "shell/FileTypes.h"
#include "ui/DiskCopyDlg.h"

// The commands name the running program by its absolute path: a file manager
// starts them from a folder of its own, where a relative path names nothing.
void CDiskCopyDlg::RegisterFileTypes() {
  char szProgram[MAX_PATH];
  if (GetModuleFileNameA(NULL, szProgram, MAX_PATH) == 0) return;
  RegisterImageFileTypes(szProgram);
}

void CDiskCopyDlg::UnregisterFileTypes() { UnregisterImageFileTypes(); }
