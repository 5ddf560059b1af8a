// A drive as the volume operations see it. Each backend (the Linux floppy
// driver, another block device, a regular file acting as a virtual floppy, a
// simulated drive for tests) serves one opened volume.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/types.h"

namespace platform::io {

class DriveBackend {
 public:
  virtual ~DriveBackend() = default;
  virtual std::string Describe() const = 0;
  // Exclusive claim of the volume; Unlock gives back what Lock took.
  virtual bool Lock() = 0;
  virtual bool Unlock() = 0;
  // Everything written is on the medium and no cached data survives.
  virtual bool Dismount() = 0;
  // The geometry of the medium in the drive; false when there is none.
  virtual bool Geometry(DISK_GEOMETRY& geometry) = 0;
  // The media types the drive supports, in ascending density.
  virtual bool MediaTypes(std::vector<DISK_GEOMETRY>& types) = 0;
  // Transfers at a byte offset; done is what moved, 0 at the end of the
  // medium. A write has reached the medium when it returns.
  virtual bool ReadAt(ULONGLONG offset, void* buffer, DWORD count, DWORD& done) = 0;
  virtual bool WriteAt(ULONGLONG offset, const void* buffer, DWORD count, DWORD& done) = 0;
};

// Opens drive 'a' or 'b' with the platform's access rights; null when the
// drive cannot be opened.
std::unique_ptr<DriveBackend> OpenDrive(char letter, DWORD access);

// Opens the device or regular file at path as a drive.
std::unique_ptr<DriveBackend> OpenDrivePath(const std::string& path, DWORD access);

}  // namespace platform::io
