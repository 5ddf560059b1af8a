// Whole transfers through real drives: regular files acting as virtual
// floppies of every size, and, when the tests may, a loop block device.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "engine/DiskCopier.h"
#include "tests/support.h"

namespace varnel_test {
namespace {

const std::vector<std::string> kReadLog = {
    "opening disk a:...", "ok\r\n", "locking and checking volume a:...", "ok\r\n",
    "checking for geometry support...", "ok\r\n", "reading disk...", "ok\r\n", "unlocking volume...ok\r\n"};
const std::vector<std::string> kWriteLog = {
    "opening disk a:...", "ok\r\n", "checking and locking volume...", "ok\r\n", "opening image file...", "ok\r\n",
    "writing image to disk...", "ok\r\n", "unlocking volume...ok\r\n"};

class RoundTripTest : public DialogTest {
 protected:
  void TearDown() override {
    ::unsetenv("VARNEL_DRIVE_A");
    DialogTest::TearDown();
  }

  std::vector<std::string> Read(const std::string& image) {
    SendMessageA(dlg->m_hWnd, WM_COMMAND, ID_NOTIFY_CLEAR_LOG, 0);
    Recorder recorder(*dlg);
    CDiskCopier copier;
    copier.m_pDlg = dlg.get();
    copier.ReadDiskToImage("a:", image.c_str());
    return recorder.Pieces();
  }

  std::vector<std::string> Write(const std::string& image) {
    SendMessageA(dlg->m_hWnd, WM_COMMAND, ID_NOTIFY_CLEAR_LOG, 0);
    Recorder recorder(*dlg);
    CDiskCopier copier;
    copier.m_pDlg = dlg.get();
    copier.WriteImageToDisk(image.c_str(), "a:");
    return recorder.Pieces();
  }
};

TEST_F(RoundTripTest, EveryFloppySizeReadsAndWritesByteExactly) {
  for (size_t size : {368640u, 737280u, 1228800u, 1474560u, 2949120u}) {
    SCOPED_TRACE(size);
    const std::string floppy = dir / "floppy.img";
    const std::vector<unsigned char> original = Pattern(size, unsigned(size));
    WriteBytes(floppy, original);
    ::setenv("VARNEL_DRIVE_A", floppy.c_str(), 1);

    EXPECT_EQ(Read(dir / "read.dsk"), kReadLog);
    EXPECT_EQ(ReadBytes(dir / "read.dsk"), original);
    EXPECT_EQ(Text(IDC_LOG),
              "opening disk a:...ok\r\nlocking and checking volume a:...ok\r\nchecking for geometry support...ok\r\n"
              "reading disk...ok\r\nunlocking volume...ok\r\n");

    const std::vector<unsigned char> replacement = Pattern(size, unsigned(size) + 1);
    WriteBytes(dir / "write.dsk", replacement);
    EXPECT_EQ(Write(dir / "write.dsk"), kWriteLog);
    EXPECT_EQ(ReadBytes(floppy), replacement);
  }
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"floppy.img", "read.dsk", "write.dsk"}));
}

TEST_F(RoundTripTest, SmallerImageOnALargerMediumEndsOk) {
  // A 720 KB image onto a 1.44 MB medium in a 2.88 MB drive: the 720 KB
  // geometry comes first in the drive's list and takes all of it.
  const std::string floppy = dir / "floppy.img";
  const std::vector<unsigned char> medium = Pattern(1474560, 1);
  WriteBytes(floppy, medium);
  const std::vector<unsigned char> image = Pattern(737280, 2);
  WriteBytes(dir / "small.dsk", image);
  ::setenv("VARNEL_DRIVE_A", floppy.c_str(), 1);
  EXPECT_EQ(Write(dir / "small.dsk"), kWriteLog);
  std::vector<unsigned char> expected = image;
  expected.insert(expected.end(), medium.begin() + 737280, medium.end());
  EXPECT_EQ(ReadBytes(floppy), expected);

  // A 1.2 MB image is a whole number of 1.44 MB cylinders short of the
  // medium's capacity, and ends ok as well.
  const std::vector<unsigned char> larger = Pattern(1228800 + 300, 3);
  WriteBytes(dir / "odd.dsk", larger);
  EXPECT_EQ(Write(dir / "odd.dsk"), kWriteLog);
  EXPECT_TRUE(std::equal(larger.begin(), larger.end(), ReadBytes(floppy).begin()));
}

// ---- A loop block device ------------------------------------------------------

// Attaches a loop device to a file with losetup; empty when this machine or
// user cannot.
std::string AttachLoop(const std::string& file) {
  if (::geteuid() != 0 || ::access("/dev/loop-control", F_OK) != 0) return "";
  const std::string command = "losetup --find --show '" + file + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  char device[256] = "";
  const bool read = std::fgets(device, sizeof device, pipe) != nullptr;
  const int status = ::pclose(pipe);
  if (!read || status != 0) return "";
  std::string path = device;
  while (!path.empty() && (path.back() == '\n' || path.back() == ' ')) path.pop_back();
  return path;
}

void DetachLoop(const std::string& device) {
  const std::string command = "losetup -d '" + device + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) ADD_FAILURE() << "cannot detach " << device;
}

TEST_F(RoundTripTest, LoopBlockDeviceRoundTripAndExclusiveLock) {
  const std::string backing = dir / "loop.img";
  const std::vector<unsigned char> original = Pattern(3 * 1024 * 1024 + 4096, 9);
  WriteBytes(backing, original);
  const std::string device = AttachLoop(backing);
  if (device.empty()) GTEST_SKIP() << "needs root and loop devices (losetup) to attach a block device";
  ::setenv("VARNEL_DRIVE_A", device.c_str(), 1);

  EXPECT_EQ(Read(dir / "image.dsk"), kReadLog);
  EXPECT_EQ(ReadBytes(dir / "image.dsk"), original) << "the geometry covers the device without a tail";

  const std::vector<unsigned char> replacement = Pattern(original.size(), 10);
  WriteBytes(dir / "new.dsk", replacement);
  EXPECT_EQ(Write(dir / "new.dsk"), kWriteLog);

  // Another exclusive opener (as a mounted file system is) refuses the lock.
  const int claim = ::open(device.c_str(), O_RDONLY | O_EXCL);
  ASSERT_GE(claim, 0);
  const std::vector<std::string> refused = Read(dir / "refused.dsk");
  ::close(claim);
  DetachLoop(device);
  EXPECT_EQ(ReadBytes(backing), replacement);
  ASSERT_EQ(refused.size(), 4u);
  EXPECT_EQ(refused[3], "error locking disk\r\n");
  EXPECT_FALSE(Exists(dir / "refused.dsk"));
}

}  // namespace
}  // namespace varnel_test
