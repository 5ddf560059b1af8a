#include "shell/FileTypes.h"

#include "platform/afx.h"

namespace {

void SetKeyValue(LPCSTR pszKey, const CString& strValue) {
  HKEY hKey = NULL;
  if (RegCreateKeyA(HKEY_CLASSES_ROOT, pszKey, &hKey) != ERROR_SUCCESS) return;
  RegSetValueA(hKey, NULL, REG_SZ, strValue, DWORD(strValue.GetLength() + 1));
  RegCloseKey(hKey);
}

}  // namespace

void RegisterImageFileTypes(LPCSTR pszProgramPath) {
  const CString strProgram = pszProgramPath;
  SetKeyValue(".dsk", "DiskImage");
  SetKeyValue("DiskImage", "Varnel Disk Image");
  SetKeyValue("DiskImage\\DefaultIcon", strProgram + ",0");
  SetKeyValue("DiskImage\\shell\\write to a:\\command", "\"" + strProgram + "\" \"%1\" a:");
  SetKeyValue("DiskImage\\shell\\write to b:\\command", "\"" + strProgram + "\" \"%1\" b:");
}

void UnregisterImageFileTypes() {
  static const char* const kKeys[] = {
      ".dsk",
      "DiskImage\\DefaultIcon",
      "DiskImage\\shell\\write to a:\\command",
      "DiskImage\\shell\\write to a:",
      "DiskImage\\shell\\write to b:\\command",
      "DiskImage\\shell\\write to b:",
      "DiskImage\\shell",
      "DiskImage",
  };
  for (const char* pszKey : kKeys) RegDeleteKeyA(HKEY_CLASSES_ROOT, pszKey);
}
