// Transfers through the Linux floppy driver itself. These run where /dev/fd0
// is a floppy drive, as in the virtual machine of tests/floppy_vm.sh, which
// tells them the drive type and the medium through the environment:
//   VARNEL_TEST_FLOPPY_DRIVE   144, 288 or 120 (the drive type)
//   VARNEL_TEST_FLOPPY_MEDIUM  the inserted medium's size in bytes, or 0 for
//                              an empty drive
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>

#include "engine/DiskCopier.h"
#include "tests/support.h"

namespace varnel_test {
namespace {

class FloppyDriverTest : public DialogTest {
 public:
  void SetUp() override {
    struct stat st;
    const char* drive = std::getenv("VARNEL_TEST_FLOPPY_DRIVE");
    const char* medium = std::getenv("VARNEL_TEST_FLOPPY_MEDIUM");
    if (::stat("/dev/fd0", &st) != 0 || !S_ISBLK(st.st_mode) || major(st.st_rdev) != 2 || drive == nullptr ||
        medium == nullptr || std::getenv("VARNEL_DRIVE_A") != nullptr)
      GTEST_SKIP() << "needs the floppy driver's /dev/fd0 and the drive described (see tests/floppy_vm.sh)";
    driveType = std::atoi(drive);
    mediumSize = std::strtoul(medium, nullptr, 10);
    DialogTest::SetUp();
  }

  std::vector<std::string> Transfer(bool read, const std::string& image) {
    SendMessageA(dlg->m_hWnd, WM_COMMAND, ID_NOTIFY_CLEAR_LOG, 0);
    Recorder recorder(*dlg);
    CDiskCopier copier;
    copier.m_pDlg = dlg.get();
    if (read) {
      copier.ReadDiskToImage("a:", image.c_str());
    } else {
      copier.WriteImageToDisk(image.c_str(), "a:");
    }
    return recorder.Pieces();
  }

  int driveType = 0;
  size_t mediumSize = 0;
};

TEST_F(FloppyDriverTest, ReportsTheMediumAndTheDrivesMediaTypes) {
  HANDLE volume = CreateFileA("\\\\.\\a:", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(volume, INVALID_HANDLE_VALUE) << "an empty drive opens too";
  DWORD returned = 0;
  DISK_GEOMETRY geometry{};
  const bool hasMedium = DeviceIoControl(volume, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                                         sizeof geometry, &returned, nullptr) != 0;
  EXPECT_EQ(hasMedium, mediumSize != 0);
  if (hasMedium) {
    EXPECT_EQ(ULONGLONG(geometry.Cylinders.QuadPart) * geometry.TracksPerCylinder * geometry.SectorsPerTrack *
                  geometry.BytesPerSector,
              mediumSize);
  }
  DISK_GEOMETRY types[20];
  ASSERT_TRUE(DeviceIoControl(volume, IOCTL_DISK_GET_MEDIA_TYPES, nullptr, 0, types, sizeof types, &returned, nullptr));
  std::vector<MEDIA_TYPE> reported;
  for (DWORD i = 0; i < returned / sizeof(DISK_GEOMETRY); ++i) reported.push_back(types[i].MediaType);
  const std::map<int, std::vector<MEDIA_TYPE>> expected = {
      {144, {F3_720_512, F3_1Pt44_512}},
      {288, {F3_720_512, F3_1Pt44_512, F3_2Pt88_512}},
      {120, {F5_160_512, F5_180_512, F5_320_512, F5_320_1024, F5_360_512, F5_1Pt2_512}},
  };
  EXPECT_EQ(reported, expected.at(driveType));
  CloseHandle(volume);
}

TEST_F(FloppyDriverTest, WritesAndReadsBackByteExactly) {
  if (mediumSize == 0) GTEST_SKIP() << "the drive is empty";
  const std::vector<unsigned char> pattern = Pattern(mediumSize, 42);
  WriteBytes(dir / "pattern.dsk", pattern);
  const std::vector<std::string> written = Transfer(false, dir / "pattern.dsk");
  ASSERT_EQ(written.size(), 9u);
  EXPECT_EQ(written[7], "ok\r\n");

  const std::vector<std::string> read = Transfer(true, dir / "back.dsk");
  ASSERT_EQ(read.size(), 9u);
  EXPECT_EQ(read[7], "ok\r\n");
  EXPECT_EQ(ReadBytes(dir / "back.dsk"), pattern);
}

TEST_F(FloppyDriverTest, EmptyDriveHasNoGeometry) {
  if (mediumSize != 0) GTEST_SKIP() << "the drive holds a disk";
  EXPECT_EQ(Transfer(true, dir / "none.dsk"),
            (std::vector<std::string>{"opening disk a:...", "ok\r\n", "locking and checking volume a:...",
                                      "error eruating disk geometry\r\n", "unlocking volume...ok\r\n"}));
  EXPECT_FALSE(Exists(dir / "none.dsk"));
}

}  // namespace
}  // namespace varnel_test
