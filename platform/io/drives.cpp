// The concrete drives behind the drive letters and how a letter finds one.
#include <fcntl.h>
#include <linux/fd.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/io/formats.h"
#include "platform/io/posix_drive.h"
#include "platform/io/sim.h"
#include "platform/win32/io.h"

namespace platform::io {
namespace {

constexpr unsigned kFloppyMajor = 2;
constexpr ULONGLONG kMaxCylinderBytes = 8ull << 20;

// A regular file holding the bytes of a floppy. Its size names the medium; a
// file of any other size is a drive without a readable medium. The drive is a
// 3.5-inch 2.88 MB drive for 3.5-inch media and a 5.25-inch 1.2 MB drive for
// 5.25-inch ones.
class FileDrive : public PosixDrive {
 public:
  FileDrive(std::string path, int fd, ULONGLONG size)
      : PosixDrive(std::move(path), fd, false), m_size(size), m_format(FormatOfSize(size)) {}

  bool Geometry(DISK_GEOMETRY& geometry) override {
    if (m_format == nullptr) return false;
    geometry = m_format->Geometry();
    return true;
  }

  bool MediaTypes(std::vector<DISK_GEOMETRY>& types) override {
    const bool fiveAndQuarter = m_format != nullptr && !m_format->threeAndHalfInch;
    types = MediaTypesOf(fiveAndQuarter ? FloppyDrive::Drive1200K : FloppyDrive::Drive2880K);
    return true;
  }

  bool ReadAt(ULONGLONG offset, void* buffer, DWORD count, DWORD& done) override {
    done = 0;
    if (m_format == nullptr) return false;
    return PosixDrive::ReadAt(offset, buffer, DWORD(Clip(offset, count)), done);
  }

  // The medium does not grow: a write that starts at its end fails, one that
  // crosses it stops there, as on a device.
  bool WriteAt(ULONGLONG offset, const void* buffer, DWORD count, DWORD& done) override {
    done = 0;
    if (m_format == nullptr || (offset >= m_size && count > 0)) return false;
    return PosixDrive::WriteAt(offset, buffer, DWORD(Clip(offset, count)), done);
  }

 private:
  ULONGLONG Clip(ULONGLONG offset, DWORD count) const {
    return offset >= m_size ? 0 : std::min<ULONGLONG>(count, m_size - offset);
  }

  ULONGLONG m_size;
  const FloppyFormat* m_format;
};

// Any block device but the floppy driver's. One of a floppy format's size (a
// USB floppy drive) is that format on a 3.5-inch 1.44 MB drive; any other
// reports one media type whose geometry covers the device exactly.
class BlockDrive : public PosixDrive {
 public:
  BlockDrive(std::string path, int fd) : PosixDrive(std::move(path), fd, true) {}

  bool Geometry(DISK_GEOMETRY& geometry) override {
    ULONGLONG size = 0;
    if (::ioctl(m_fd, BLKGETSIZE64, &size) != 0 || size == 0) return false;
    if (const FloppyFormat* format = FormatOfSize(size)) {
      geometry = format->Geometry();
      return true;
    }
    int sectorSize = 512;
    if (::ioctl(m_fd, BLKSSZGET, &sectorSize) != 0 || sectorSize <= 0) sectorSize = 512;
    const ULONGLONG sectors = size / ULONGLONG(sectorSize);
    if (sectors == 0 || sectors * ULONGLONG(sectorSize) != size) return false;
    // The largest cylinder of at most 8 MiB that divides the device, so that
    // cylinders times cylinder size is the whole device.
    ULONGLONG perCylinder = std::min<ULONGLONG>(sectors, kMaxCylinderBytes / ULONGLONG(sectorSize));
    while (sectors % perCylinder != 0) --perCylinder;
    if (sectors / perCylinder > 0xFFFFFFFFull) return false;
    DWORD heads = DWORD(std::min<ULONGLONG>(perCylinder, 255));
    while (perCylinder % heads != 0) --heads;
    geometry = MakeDiskGeometry(LONGLONG(sectors / perCylinder), heads, DWORD(perCylinder / heads), DWORD(sectorSize),
                                Removable() ? RemovableMedia : FixedMedia);
    return true;
  }

  bool MediaTypes(std::vector<DISK_GEOMETRY>& types) override {
    ULONGLONG size = 0;
    if (::ioctl(m_fd, BLKGETSIZE64, &size) == 0 && FormatOfSize(size) != nullptr) {
      types = MediaTypesOf(FloppyDrive::Drive1440K);
      return true;
    }
    DISK_GEOMETRY geometry;
    if (!Geometry(geometry)) return false;
    types = {geometry};
    return true;
  }

 private:
  bool Removable() const {
    struct stat st;
    if (::fstat(m_fd, &st) != 0) return false;
    const std::string base = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                             std::to_string(minor(st.st_rdev));
    // A partition's own folder has no "removable"; its disk's folder has.
    for (const char* file : {"/removable", "/../removable"}) {
      std::ifstream in(base + file);
      int value = 0;
      if (in >> value) return value != 0;
    }
    return false;
  }
};

// The Linux floppy driver: the geometry of the inserted medium, and the media
// types of the drive's CMOS type.
class FloppyDriverDrive : public PosixDrive {
 public:
  FloppyDriverDrive(std::string path, int fd) : PosixDrive(std::move(path), fd, true) {}

  bool Geometry(DISK_GEOMETRY& geometry) override {
    floppy_struct params{};
    if (::ioctl(m_fd, FDGETPRM, &params) != 0 || params.track == 0 || params.head == 0 || params.sect == 0)
      return false;
    const DWORD bytesPerSector = DWORD(FD_SECTSIZE(&params));
    const FloppyFormat* format = FormatOfGeometry(params.track, params.head, params.sect, bytesPerSector);
    geometry = MakeDiskGeometry(params.track, params.head, params.sect, bytesPerSector,
                                format != nullptr ? format->type : RemovableMedia);
    return true;
  }

  bool MediaTypes(std::vector<DISK_GEOMETRY>& types) override {
    floppy_drive_params params{};
    if (::ioctl(m_fd, FDGETDRVPRM, &params) != 0) return false;
    switch (params.cmos) {
      case 1: types = MediaTypesOf(FloppyDrive::Drive360K); return true;
      case 2: types = MediaTypesOf(FloppyDrive::Drive1200K); return true;
      case 3: types = MediaTypesOf(FloppyDrive::Drive720K); return true;
      case 4: types = MediaTypesOf(FloppyDrive::Drive1440K); return true;
      case 5:
      case 6: types = MediaTypesOf(FloppyDrive::Drive2880K); return true;
      default: return false;
    }
  }

 protected:
  void DropCache() override {
    ::ioctl(m_fd, FDFLUSH, 0);
    PosixDrive::DropCache();
  }
};

}  // namespace

std::unique_ptr<DriveBackend> OpenDrivePath(const std::string& path, DWORD access) {
  const int flags = OpenFlagsFor(access) | O_CLOEXEC;
  int fd = ::open(path.c_str(), flags | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return nullptr;
  }
  if (S_ISREG(st.st_mode)) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<FileDrive>(path, fd, ULONGLONG(st.st_size));
  }
  if (!S_ISBLK(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  if (major(st.st_rdev) != kFloppyMajor) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<BlockDrive>(path, fd);
  }
  // The floppy driver probes the medium only on a normal open, which fails
  // with ENXIO when the drive is empty. An empty drive still opens, as on the
  // platform; its geometry request then fails.
  ::close(fd);
  fd = ::open(path.c_str(), flags);
  if (fd < 0 && errno == ENXIO) fd = ::open(path.c_str(), flags | O_NONBLOCK);
  if (fd < 0) return nullptr;
  return std::make_unique<FloppyDriverDrive>(path, fd);
}

std::unique_ptr<DriveBackend> OpenDrive(char letter, DWORD access) {
  std::unique_ptr<DriveBackend> simulated;
  if (OpenSimulatedDrive(letter, simulated)) return simulated;
  const char* variable = letter == 'a' ? "VARNEL_DRIVE_A" : "VARNEL_DRIVE_B";
  const char* mapped = std::getenv(variable);
  const std::string path = (mapped != nullptr && *mapped != '\0') ? mapped : (letter == 'a' ? "/dev/fd0" : "/dev/fd1");
  return OpenDrivePath(path, access);
}

}  // namespace platform::io
