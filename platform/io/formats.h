// The floppy formats and drive types the layer knows: their geometries and
// the media types each kind of drive reports, in ascending density.
#pragma once

#include <vector>

#include "platform/win32/types.h"

namespace platform::io {

struct FloppyFormat {
  MEDIA_TYPE type;
  DWORD cylinders;
  DWORD heads;
  DWORD sectors;
  DWORD bytesPerSector;
  bool threeAndHalfInch;

  ULONGLONG Size() const { return ULONGLONG(cylinders) * heads * sectors * bytesPerSector; }
  DISK_GEOMETRY Geometry() const;
};

DISK_GEOMETRY MakeDiskGeometry(LONGLONG cylinders, DWORD heads, DWORD sectors, DWORD bytesPerSector, MEDIA_TYPE type);

enum class FloppyDrive { Drive360K, Drive1200K, Drive720K, Drive1440K, Drive2880K };

const FloppyFormat& FormatOf(MEDIA_TYPE type);
// The format whose size is exactly this many bytes, or null. Of the two
// 320 KB formats, the one with 512-byte sectors.
const FloppyFormat* FormatOfSize(ULONGLONG size);
// The format with this geometry, or null.
const FloppyFormat* FormatOfGeometry(DWORD cylinders, DWORD heads, DWORD sectors, DWORD bytesPerSector);
std::vector<DISK_GEOMETRY> MediaTypesOf(FloppyDrive drive);

}  // namespace platform::io
