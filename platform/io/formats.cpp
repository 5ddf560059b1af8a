#include "platform/io/formats.h"

namespace platform::io {
namespace {

const FloppyFormat kFormats[] = {
    {F5_160_512, 40, 1, 8, 512, false},   {F5_180_512, 40, 1, 9, 512, false},
    {F5_320_512, 40, 2, 8, 512, false},   {F5_320_1024, 40, 2, 4, 1024, false},
    {F5_360_512, 40, 2, 9, 512, false},   {F3_720_512, 80, 2, 9, 512, true},
    {F5_1Pt2_512, 80, 2, 15, 512, false}, {F3_1Pt44_512, 80, 2, 18, 512, true},
    {F3_2Pt88_512, 80, 2, 36, 512, true},
};

}  // namespace

DISK_GEOMETRY MakeDiskGeometry(LONGLONG cylinders, DWORD heads, DWORD sectors, DWORD bytesPerSector, MEDIA_TYPE type) {
  DISK_GEOMETRY geometry{};
  geometry.Cylinders.QuadPart = cylinders;
  geometry.MediaType = type;
  geometry.TracksPerCylinder = heads;
  geometry.SectorsPerTrack = sectors;
  geometry.BytesPerSector = bytesPerSector;
  return geometry;
}

DISK_GEOMETRY FloppyFormat::Geometry() const {
  return MakeDiskGeometry(cylinders, heads, sectors, bytesPerSector, type);
}

const FloppyFormat& FormatOf(MEDIA_TYPE type) {
  for (const FloppyFormat& format : kFormats)
    if (format.type == type) return format;
  return kFormats[0];
}

const FloppyFormat* FormatOfSize(ULONGLONG size) {
  for (const FloppyFormat& format : kFormats)
    if (format.Size() == size) return &format;
  return nullptr;
}

const FloppyFormat* FormatOfGeometry(DWORD cylinders, DWORD heads, DWORD sectors, DWORD bytesPerSector) {
  for (const FloppyFormat& format : kFormats)
    if (format.cylinders == cylinders && format.heads == heads && format.sectors == sectors &&
        format.bytesPerSector == bytesPerSector)
      return &format;
  return nullptr;
}

std::vector<DISK_GEOMETRY> MediaTypesOf(FloppyDrive drive) {
  std::vector<MEDIA_TYPE> types;
  switch (drive) {
    case FloppyDrive::Drive360K:
      types = {F5_160_512, F5_180_512, F5_320_512, F5_320_1024, F5_360_512};
      break;
    case FloppyDrive::Drive1200K:
      types = {F5_160_512, F5_180_512, F5_320_512, F5_320_1024, F5_360_512, F5_1Pt2_512};
      break;
    case FloppyDrive::Drive720K:
      types = {F3_720_512};
      break;
    case FloppyDrive::Drive1440K:
      types = {F3_720_512, F3_1Pt44_512};
      break;
    case FloppyDrive::Drive2880K:
      types = {F3_720_512, F3_1Pt44_512, F3_2Pt88_512};
      break;
  }
  std::vector<DISK_GEOMETRY> geometries;
  for (MEDIA_TYPE type : types) geometries.push_back(FormatOf(type).Geometry());
  return geometries;
}

}  // namespace platform::io
