// File names: attributes, deletion, renaming, temporary names, folders, and
// the path of the running program.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/io/posix.h"
#include "platform/win32/io.h"

using platform::io::FolderOf;
using platform::io::SyncFolder;

DWORD GetFileAttributesA(LPCSTR lpFileName) {
  struct stat st;
  if (lpFileName == nullptr || ::stat(lpFileName, &st) != 0) return INVALID_FILE_ATTRIBUTES;
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return ::access(lpFileName, W_OK) == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

BOOL DeleteFileA(LPCSTR lpFileName) {
  struct stat st;
  if (lpFileName == nullptr || ::lstat(lpFileName, &st) != 0 || S_ISDIR(st.st_mode)) return FALSE;
  return ::unlink(lpFileName) == 0 ? TRUE : FALSE;
}

BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  if (lpExistingFileName == nullptr || lpNewFileName == nullptr) return FALSE;
  int result = -1;
  if (dwFlags & MOVEFILE_REPLACE_EXISTING) {
    result = ::rename(lpExistingFileName, lpNewFileName);
  } else {
    // Without the replace flag an existing file of the new name is never
    // touched, even when it appears between a check and the rename.
    result = ::renameat2(AT_FDCWD, lpExistingFileName, AT_FDCWD, lpNewFileName, RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      result = ::link(lpExistingFileName, lpNewFileName);
      if (result == 0) {
        ::unlink(lpExistingFileName);
      } else if (errno == EPERM || errno == EOPNOTSUPP) {
        // A file system with neither: check, then rename.
        struct stat st;
        if (::lstat(lpNewFileName, &st) != 0 && errno == ENOENT) result = ::rename(lpExistingFileName, lpNewFileName);
      }
    }
  }
  if (result != 0) return FALSE;
  if ((dwFlags & MOVEFILE_WRITE_THROUGH) && !SyncFolder(FolderOf(lpNewFileName))) return FALSE;
  return TRUE;
}

UINT GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName) {
  if (lpPathName == nullptr || lpPrefixString == nullptr || lpTempFileName == nullptr) return 0;
  std::string folder = *lpPathName != '\0' ? lpPathName : ".";
  if (folder.back() != '/') folder += '/';
  const std::string prefix = std::string(lpPrefixString).substr(0, 3);
  // Like the platform: with a number given, only the name is formed; without
  // one, numbers are tried from a start that differs between processes until
  // a new empty file could be created.
  const UINT start = uUnique != 0 ? uUnique : UINT(::getpid() * 7919u + 1);
  for (UINT attempt = 0; attempt < 0x10000; ++attempt) {
    UINT number = (start + attempt) & 0xFFFF;
    if (number == 0) continue;
    char name[16];
    std::snprintf(name, sizeof name, "%X.TMP", number);
    const std::string path = folder + prefix + name;
    if (path.size() >= MAX_PATH) return 0;
    if (uUnique != 0) {
      std::memcpy(lpTempFileName, path.c_str(), path.size() + 1);
      return uUnique;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      std::memcpy(lpTempFileName, path.c_str(), path.size() + 1);
      return number;
    }
    if (errno != EEXIST) return 0;
  }
  return 0;
}

BOOL PathRemoveFileSpecA(LPSTR pszPath) {
  if (pszPath == nullptr || *pszPath == '\0') return FALSE;
  char* slash = std::strrchr(pszPath, '/');
  if (slash == nullptr) {
    *pszPath = '\0';
    return TRUE;
  }
  if (slash == pszPath) {
    if (pszPath[1] == '\0') return FALSE;
    pszPath[1] = '\0';
    return TRUE;
  }
  *slash = '\0';
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (hModule != nullptr || lpFilename == nullptr || nSize == 0) return 0;
  char path[MAX_PATH];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return 0;
  path[length] = '\0';
  // A program file replaced while it runs (an update) is named with this
  // mark; the file now under that name is the program to start.
  static const char kDeleted[] = " (deleted)";
  const ssize_t mark = ssize_t(sizeof kDeleted - 1);
  if (length > mark && std::strcmp(path + length - mark, kDeleted) == 0 &&
      ::access(std::string(path, size_t(length - mark)).c_str(), X_OK) == 0)
    length -= mark;
  const DWORD copied = std::min<DWORD>(DWORD(length), nSize - 1);
  std::memcpy(lpFilename, path, copied);
  lpFilename[copied] = '\0';
  return DWORD(length) < nSize ? copied : nSize;
}
