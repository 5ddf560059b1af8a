#include "platform/io/posix_drive.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/win32/io.h"

namespace platform::io {

int OpenFlagsFor(DWORD access) {
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  return (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
}

PosixDrive::PosixDrive(std::string path, int fd, bool blockDevice)
    : m_path(std::move(path)), m_fd(fd), m_blockDevice(blockDevice) {}

PosixDrive::~PosixDrive() {
  if (m_claim >= 0) ::close(m_claim);
  ::close(m_fd);
}

bool PosixDrive::Lock() {
  if (m_claim >= 0) return false;
  // A block device opened with O_EXCL is refused while it is mounted or
  // claimed by another exclusive opener; the advisory lock on top also keeps a
  // second Varnel away from a regular file.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (m_blockDevice ? O_EXCL : 0);
  const int claim = ::open(m_path.c_str(), flags);
  if (claim < 0) return false;
  if (::flock(claim, LOCK_EX | LOCK_NB) != 0) {
    ::close(claim);
    return false;
  }
  m_claim = claim;
  DropCache();
  return true;
}

bool PosixDrive::Unlock() {
  if (m_claim < 0) return false;
  ::flock(m_claim, LOCK_UN);
  ::close(m_claim);
  m_claim = -1;
  return true;
}

bool PosixDrive::Dismount() {
  const bool synced = ::fsync(m_fd) == 0 || errno == EINVAL;
  DropCache();
  return synced;
}

void PosixDrive::DropCache() {
  // BLKFLSBUF needs administrator rights; without them the advice to drop the
  // cached pages is the best a user can do.
  if (m_blockDevice && ::ioctl(m_fd, BLKFLSBUF, 0) == 0) return;
  ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_DONTNEED);
}

bool PosixDrive::ReadAt(ULONGLONG offset, void* buffer, DWORD count, DWORD& done) {
  return ReadFully(m_fd, buffer, count, (long long)offset, done);
}

bool PosixDrive::WriteAt(ULONGLONG offset, const void* buffer, DWORD count, DWORD& done) {
  if (!WriteFully(m_fd, buffer, count, (long long)offset, done)) return false;
  // The write has reached the medium before it is reported, so a device error
  // fails this write instead of a later flush.
  return done == 0 || ::fdatasync(m_fd) == 0;
}

}  // namespace platform::io
