#include "platform/io/posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform::io {

bool ReadFully(int fd, void* buffer, DWORD count, long long offset, DWORD& done) {
  done = 0;
  while (done < count) {
    char* at = static_cast<char*>(buffer) + done;
    const ssize_t n = offset < 0 ? ::read(fd, at, count - done) : ::pread(fd, at, count - done, off_t(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    done += DWORD(n);
  }
  return true;
}

bool WriteFully(int fd, const void* buffer, DWORD count, long long offset, DWORD& done) {
  done = 0;
  while (done < count) {
    const char* at = static_cast<const char*>(buffer) + done;
    const ssize_t n = offset < 0 ? ::write(fd, at, count - done) : ::pwrite(fd, at, count - done, off_t(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      // A device refuses a write at its end with ENOSPC; what was written
      // before that still counts, the caller sees a short write.
      if (errno == ENOSPC && done > 0) break;
      return false;
    }
    if (n == 0) break;
    done += DWORD(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace platform::io
