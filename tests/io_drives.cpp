// The file and volume layer: drive mapping, the media a regular file offers
// as a virtual floppy, the volume controls, and the copier's thin wrappers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "engine/DiskCopier.h"
#include "tests/support.h"

namespace varnel_test {
namespace {

using platform::testing::SimDrive;

// Maps a drive letter to a path for the lifetime of the object.
class ScopedDrive {
 public:
  ScopedDrive(char letter, const std::string& path)
      : m_variable(letter == 'a' ? "VARNEL_DRIVE_A" : "VARNEL_DRIVE_B") {
    ::setenv(m_variable, path.c_str(), 1);
  }
  ~ScopedDrive() { ::unsetenv(m_variable); }

 private:
  const char* m_variable;
};

HANDLE OpenVolume(const char* path, DWORD access) {
  return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool Control(HANDLE volume, DWORD code, void* out = nullptr, DWORD size = 0, DWORD* returned = nullptr) {
  DWORD count = 0;
  return DeviceIoControl(volume, code, nullptr, 0, out, size, returned != nullptr ? returned : &count, nullptr) != 0;
}

class DriveTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSeams(); }
  void TearDown() override {
    ResetSeams();
    EXPECT_EQ(platform::testing::OpenHandleCount(), 0u);
  }
  TempDir dir;
};

TEST_F(DriveTest, RegularFileIsTheFloppyFormatOfItsSize) {
  struct Case {
    size_t size;
    bool medium;
    DWORD cylinders, heads, sectors, bytes;
    MEDIA_TYPE type;
    std::vector<MEDIA_TYPE> driveTypes;
  };
  const std::vector<MEDIA_TYPE> k35 = {F3_720_512, F3_1Pt44_512, F3_2Pt88_512};
  const std::vector<MEDIA_TYPE> k525 = {F5_160_512, F5_180_512, F5_320_512, F5_320_1024, F5_360_512, F5_1Pt2_512};
  const std::vector<Case> cases = {
      {163840, true, 40, 1, 8, 512, F5_160_512, k525},    {184320, true, 40, 1, 9, 512, F5_180_512, k525},
      {327680, true, 40, 2, 8, 512, F5_320_512, k525},    {368640, true, 40, 2, 9, 512, F5_360_512, k525},
      {737280, true, 80, 2, 9, 512, F3_720_512, k35},     {1228800, true, 80, 2, 15, 512, F5_1Pt2_512, k525},
      {1474560, true, 80, 2, 18, 512, F3_1Pt44_512, k35}, {2949120, true, 80, 2, 36, 512, F3_2Pt88_512, k35},
      {1474561, false, 0, 0, 0, 0, Unknown, k35},         {0, false, 0, 0, 0, 0, Unknown, k35},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string path = dir / "floppy.img";
    WriteBytes(path, std::vector<unsigned char>(c.size, 0));
    ScopedDrive mapped('a', path);
    HANDLE volume = OpenVolume("\\\\.\\a:", GENERIC_READ);
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    DISK_GEOMETRY geometry{};
    EXPECT_EQ(Control(volume, IOCTL_DISK_GET_DRIVE_GEOMETRY, &geometry, sizeof geometry), c.medium);
    if (c.medium) {
      EXPECT_EQ(geometry.Cylinders.QuadPart, c.cylinders);
      EXPECT_EQ(geometry.TracksPerCylinder, c.heads);
      EXPECT_EQ(geometry.SectorsPerTrack, c.sectors);
      EXPECT_EQ(geometry.BytesPerSector, c.bytes);
      EXPECT_EQ(geometry.MediaType, c.type);
    }
    DISK_GEOMETRY types[20];
    DWORD returned = 0;
    ASSERT_TRUE(Control(volume, IOCTL_DISK_GET_MEDIA_TYPES, types, sizeof types, &returned));
    ASSERT_EQ(returned, c.driveTypes.size() * sizeof(DISK_GEOMETRY));
    for (size_t i = 0; i < c.driveTypes.size(); ++i) EXPECT_EQ(types[i].MediaType, c.driveTypes[i]);
    CloseHandle(volume);
  }
}

TEST_F(DriveTest, VirtualFloppyDoesNotGrowPastItsMedium) {
  const std::string path = dir / "floppy.img";
  WriteBytes(path, std::vector<unsigned char>(737280, 0));
  ScopedDrive mapped('a', path);
  HANDLE volume = OpenVolume("\\\\.\\a:", GENERIC_WRITE);
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  const std::vector<unsigned char> data = Pattern(737000, 5);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(volume, data.data(), DWORD(data.size()), &written, nullptr));
  EXPECT_EQ(written, data.size());
  ASSERT_TRUE(WriteFile(volume, data.data(), 1000, &written, nullptr));
  EXPECT_EQ(written, 280u) << "a write across the end stops there";
  EXPECT_FALSE(WriteFile(volume, data.data(), 10, &written, nullptr)) << "a write at the end fails";
  CloseHandle(volume);
  EXPECT_EQ(ReadBytes(path).size(), 737280u);
}

TEST_F(DriveTest, LockIsExclusiveUntilUnlocked) {
  const std::string path = dir / "floppy.img";
  WriteBytes(path, std::vector<unsigned char>(737280, 0));
  ScopedDrive mapped('a', path);
  HANDLE first = OpenVolume("\\\\.\\a:", GENERIC_READ);
  HANDLE second = OpenVolume("\\\\.\\A:", GENERIC_WRITE);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Control(first, FSCTL_LOCK_VOLUME));
  EXPECT_FALSE(Control(second, FSCTL_LOCK_VOLUME)) << "a second Varnel is refused";
  EXPECT_TRUE(Control(first, FSCTL_DISMOUNT_VOLUME));
  EXPECT_TRUE(Control(first, FSCTL_UNLOCK_VOLUME));
  EXPECT_TRUE(Control(second, FSCTL_LOCK_VOLUME));
  EXPECT_TRUE(Control(second, FSCTL_UNLOCK_VOLUME));
  CloseHandle(first);
  CloseHandle(second);
}

TEST_F(DriveTest, OnlyDrivesAAndBAndRegularFilesOpen) {
  const std::string path = dir / "floppy.img";
  WriteBytes(path, std::vector<unsigned char>(737280, 0));
  ScopedDrive mappedB('b', path);
  for (const char* refused : {"\\\\.\\c:", "\\\\.\\a:x", "\\\\.\\", "\\\\.\\PhysicalDrive0"})
    EXPECT_EQ(OpenVolume(refused, GENERIC_READ), INVALID_HANDLE_VALUE) << refused;
  HANDLE volume = OpenVolume("\\\\.\\b:", GENERIC_READ);
  EXPECT_NE(volume, INVALID_HANDLE_VALUE);
  CloseHandle(volume);

  // A folder, a pipe or a device node is no image file; none of them blocks.
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  for (const std::string& name : {dir.path(), dir / "pipe", std::string("/dev/null")}) {
    EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE)
        << name;
  }
  // A drive mapped to something that is neither a block device nor a file.
  ScopedDrive mappedA('a', dir / "pipe");
  EXPECT_EQ(OpenVolume("\\\\.\\a:", GENERIC_READ), INVALID_HANDLE_VALUE);
}

TEST_F(DriveTest, FilesMoveTheWholeCountUntilTheirEnd) {
  const std::string path = dir / "data";
  const std::vector<unsigned char> data = Pattern(100000, 8);
  WriteBytes(path, data);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD high = 99;
  EXPECT_EQ(GetFileSize(file, &high), 100000u);
  EXPECT_EQ(high, 0u);
  std::vector<unsigned char> buffer(70000);
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(file, buffer.data(), 70000, &read, nullptr));
  EXPECT_EQ(read, 70000u);
  ASSERT_TRUE(ReadFile(file, buffer.data(), 70000, &read, nullptr));
  EXPECT_EQ(read, 30000u);
  ASSERT_TRUE(ReadFile(file, buffer.data(), 70000, &read, nullptr));
  EXPECT_EQ(read, 0u);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_FALSE(CloseHandle(file)) << "a closed handle names nothing";
  EXPECT_FALSE(ReadFile(file, buffer.data(), 1, &read, nullptr));
}

TEST_F(DriveTest, VirtualAllocGivesPagesAndRefusesNothing) {
  EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
  void* block = VirtualAlloc(nullptr, 18432, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % size_t(::sysconf(_SC_PAGESIZE)), 0u);
  static_cast<unsigned char*>(block)[18431] = 1;
  EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE));
  EXPECT_FALSE(VirtualFree(block, 0, MEM_RELEASE));
  platform::testing::SetVirtualAllocFailure([](SIZE_T size) { return size == 512; });
  EXPECT_EQ(VirtualAlloc(nullptr, 512, MEM_COMMIT, PAGE_READWRITE), nullptr);
  void* other = VirtualAlloc(nullptr, 1024, MEM_COMMIT, PAGE_READWRITE);
  EXPECT_NE(other, nullptr);
  VirtualFree(other, 0, MEM_RELEASE);
}

class CopierTest : public DialogTest {};

TEST_F(CopierTest, MediaTypeCountIsWholeRecordsReturned) {
  struct Case {
    bool fail;
    long bytes;  // what the control reports; negative: all three records
    DWORD count;
  };
  for (const Case c : {Case{false, -1, 3}, Case{false, 50, 2}, Case{false, 23, 0}, Case{true, -1, 0}}) {
    SCOPED_TRACE(c.bytes);
    auto drive = SimDrive::WithGeometry(80, 2, 18, 512);
    drive->mediaTypes = {platform::testing::MakeGeometry(80, 2, 9, 512, F3_720_512), drive->geometry,
                         platform::testing::MakeGeometry(80, 2, 36, 512, F3_2Pt88_512)};
    drive->mediaTypesBytes = c.bytes;
    drive->failMediaTypes = c.fail;
    platform::testing::InstallSimDrive('a', drive);
    CDiskCopier copier;
    copier.m_pDlg = dlg.get();
    copier.m_nMediaTypes = 99;
    HANDLE volume = OpenVolume("\\\\.\\a:", GENERIC_READ);
    EXPECT_EQ(copier.GetMediaTypes(volume), c.count);
    EXPECT_EQ(copier.m_nMediaTypes, c.count);
    if (c.count == 3) {
      EXPECT_EQ(copier.m_mediaTypes[2].MediaType, F3_2Pt88_512);
    }
    CloseHandle(volume);
  }
}

TEST_F(CopierTest, EveryPieceIsOneNotificationEvenWhenEmpty) {
  Recorder recorder(*dlg);
  CDiskCopier copier;
  copier.m_pDlg = dlg.get();
  copier.AppendLog("");
  copier.AppendLog("opening disk a:...");
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"log:", "log:opening disk a:..."}));
  EXPECT_EQ(Text(IDC_LOG), "opening disk a:...");
}

}  // namespace
}  // namespace varnel_test
