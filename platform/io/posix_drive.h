// Drives served through a POSIX file descriptor: the Linux floppy driver, any
// other block device, and a regular file acting as a virtual floppy.
#pragma once

#include "platform/io/drive.h"
#include "platform/io/posix.h"

namespace platform::io {

class PosixDrive : public DriveBackend {
 public:
  ~PosixDrive() override;
  std::string Describe() const override { return m_path; }
  bool Lock() override;
  bool Unlock() override;
  bool Dismount() override;
  bool ReadAt(ULONGLONG offset, void* buffer, DWORD count, DWORD& done) override;
  bool WriteAt(ULONGLONG offset, const void* buffer, DWORD count, DWORD& done) override;

 protected:
  PosixDrive(std::string path, int fd, bool blockDevice);
  // Drops what the kernel keeps cached of the volume, so reads come from the
  // medium and nothing stale survives a transfer.
  virtual void DropCache();

  std::string m_path;
  int m_fd;
  bool m_blockDevice;
  int m_claim = -1;  // the descriptor that holds the lock
};

// Open flags for the platform's access rights.
int OpenFlagsFor(DWORD access);

}  // namespace platform::io
