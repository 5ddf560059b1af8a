// Reading a floppy into an image: the log pieces and progress positions of
// every outcome, what is released and in which order, and what becomes of the
// image file.
#include <algorithm>
#include <functional>

#include "engine/DiskCopier.h"
#include "tests/support.h"

namespace varnel_test {
namespace {

using platform::testing::SimDrive;

const std::string kOpen = "opening disk a:...";
const std::string kLock = "locking and checking volume a:...";
const std::string kOk = "ok\r\n";
const std::string kUnlock = "unlocking volume...ok\r\n";

class ReadTest : public DialogTest {
 public:
  void SetUp() override {
    DialogTest::SetUp();
    drive = SimDrive::WithGeometry(8, 2, 9, 512);
    platform::testing::InstallSimDrive('a', drive);
    image = dir / "image.dsk";
  }

  void Read(const std::string& path) {
    CDiskCopier copier;
    copier.m_pDlg = dlg.get();
    copier.ReadDiskToImage("a:", path.c_str());
  }

  std::vector<unsigned char> Cylinders(size_t count) const {
    const size_t size = 2 * 9 * 512;
    return std::vector<unsigned char>(drive->medium.begin(), drive->medium.begin() + long(count * size));
  }

  std::shared_ptr<SimDrive> drive;
  std::string image;
};

struct ReadOutcome {
  const char* name;
  std::function<void(ReadTest&)> arrange;
  std::vector<std::string> pieces;
  bool locked;           // dismount and unlock expected
  long imageCylinders;   // -1: no image file
};

TEST_F(ReadTest, EveryOutcomeLogsItsPiecesAndReleasesWhatItTook) {
  const std::vector<std::string> upToReading = {kOpen, kOk, kLock, kOk, "checking for geometry support...", kOk,
                                                "reading disk..."};
  auto then = [&](std::vector<std::string> tail) {
    std::vector<std::string> pieces = upToReading;
    pieces.insert(pieces.end(), tail.begin(), tail.end());
    return pieces;
  };
  const std::vector<ReadOutcome> outcomes = {
      {"open fails", [](ReadTest& t) { t.drive->failOpen = true; }, {kOpen, "error\r\n"}, false, -1},
      {"lock fails", [](ReadTest& t) { t.drive->failLock = true; }, {kOpen, kOk, kLock, "error locking disk\r\n"},
       false, -1},
      {"no geometry", [](ReadTest& t) { t.drive->failGeometry = true; },
       {kOpen, kOk, kLock, "error eruating disk geometry\r\n", kUnlock}, true, -1},
      {"no media types", [](ReadTest& t) { t.drive->failMediaTypes = true; },
       {kOpen, kOk, kLock, "error, disk format not supported\r\n", kUnlock}, true, -1},
      {"image cannot be created", [](ReadTest& t) { t.image = t.dir / "missing-folder/image.dsk"; },
       {kOpen, kOk, kLock, kOk, "checking for geometry support...", "error\r\n", kUnlock}, true, -1},
      {"buffer cannot be allocated",
       [](ReadTest&) { platform::testing::SetVirtualAllocFailure([](SIZE_T) { return true; }); },
       then({"error allocating buffer\r\n", kUnlock}), true, 0},
      {"read fails", [](ReadTest& t) { t.drive->readFaults[3] = {true, 0}; }, then({"fatal read error\r\n", kUnlock}),
       true, 3},
      {"read delivers nothing", [](ReadTest& t) { t.drive->readFaults[5] = {false, 0}; },
       then({"fatal read error\r\n", kUnlock}), true, 5},
      {"write fails", [](ReadTest&) { platform::testing::SetFileFaults({}, {{2, {true, 0}}}); },
       then({"fatal write error\r\n", kUnlock}), true, 2},
      {"every cylinder copied", [](ReadTest&) {}, then({kOk, kUnlock}), true, 8},
  };
  for (const ReadOutcome& outcome : outcomes) {
    SCOPED_TRACE(outcome.name);
    platform::testing::SetVirtualAllocFailure(nullptr);
    platform::testing::SetFileFaults({}, {});
    drive = SimDrive::WithGeometry(8, 2, 9, 512);
    platform::testing::InstallSimDrive('a', drive);
    image = dir / "image.dsk";
    ::unlink(image.c_str());
    outcome.arrange(*this);
    Recorder recorder(*dlg);
    IoRecorder io;
    Read(image);

    EXPECT_EQ(recorder.Pieces(), outcome.pieces);
    ExpectReleased(*drive, outcome.locked);
    ExpectReleasedInReverseOrder(io.events());
    if (outcome.imageCylinders < 0) {
      EXPECT_FALSE(Exists(dir / "image.dsk"));
    } else {
      EXPECT_EQ(ReadBytes(image), Cylinders(size_t(outcome.imageCylinders)));
    }
    EXPECT_EQ(dir.Names().size(), outcome.imageCylinders < 0 ? 0u : 1u) << "a temporary file was left behind";
  }
}

TEST_F(ReadTest, ReleasesInReverseOrderOfTaking) {
  IoRecorder io;
  Read(image);
  const std::vector<std::string> events = io.events();
  auto last = [&](const std::string& op) {
    auto found = std::find(events.rbegin(), events.rend(), op);
    EXPECT_NE(found, events.rend()) << op;
    return events.rend() - found;
  };
  EXPECT_LT(last("free memory"), last("close file"));
  EXPECT_LT(last("close file"), last("dismount volume"));
  EXPECT_LT(last("dismount volume"), last("unlock volume"));
  EXPECT_LT(last("unlock volume"), last("close volume"));
  EXPECT_EQ(events.back(), "close volume");
}

TEST_F(ReadTest, ProgressEmptiesOneStepPerCylinder) {
  struct Case {
    DWORD cylinders;
    std::vector<int> head;  // the first positions
    std::vector<int> tail;  // the last positions
  };
  const std::vector<Case> cases = {
      {0, {}, {}},
      {1, {100}, {100}},
      {3, {100, 66, 33}, {100, 66, 33}},
      {80, {100, 98, 97, 96, 95, 93, 92, 91, 90, 88}, {3, 2, 1}},
      {101, {100, 99, 98}, {2, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cylinders);
    drive = SimDrive::WithGeometry(c.cylinders, 1, 1, 512);
    platform::testing::InstallSimDrive('a', drive);
    Recorder recorder(*dlg);
    Read(image);
    const std::vector<int> positions = recorder.Positions();
    ASSERT_EQ(positions.size(), c.cylinders);
    EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), positions.begin()));
    EXPECT_TRUE(std::equal(c.tail.rbegin(), c.tail.rend(), positions.rbegin()));
    EXPECT_EQ(std::count(positions.begin(), positions.end(), 0), c.cylinders > 100 ? 1 : 0);
    EXPECT_EQ(recorder.Pieces().at(7), kOk) << "the copy ends complete";
    EXPECT_EQ(ReadBytes(image).size(), size_t(c.cylinders) * 512);
  }
}

TEST_F(ReadTest, ShortReadsAndShortVolumesKeepWhatWasDeliveredButAreNotOk) {
  // One read delivers part of a cylinder: exactly that part is written and the
  // next read goes on where it stopped. After the last pass the image is
  // short of the volume, and that is no complete copy.
  drive->readFaults[1] = {false, 1000};
  {
    Recorder recorder(*dlg);
    Read(image);
    EXPECT_EQ(recorder.Pieces().at(7), "fatal read error\r\n");
    EXPECT_EQ(recorder.Positions().size(), 8u);
  }
  EXPECT_EQ(ReadBytes(image), std::vector<unsigned char>(drive->medium.begin(), drive->medium.begin() + 7 * 9216 + 1000))
      << "every byte delivered is kept, in order";

  // A geometry larger than the volume: the read after its end delivers
  // nothing, and every cylinder before it is kept.
  drive = SimDrive::WithGeometry(8, 2, 9, 512);
  drive->medium.resize(drive->medium.size() / 2);
  platform::testing::InstallSimDrive('a', drive);
  Recorder recorder(*dlg);
  Read(dir / "second.dsk");
  EXPECT_EQ(recorder.Pieces().at(7), "fatal read error\r\n");
  EXPECT_EQ(ReadBytes(dir / "second.dsk"), drive->medium);
}

TEST_F(ReadTest, CylinderSizeOfZeroCannotBeAllocated) {
  drive = SimDrive::WithGeometry(80, 2, 0, 512);
  platform::testing::InstallSimDrive('a', drive);
  Recorder recorder(*dlg);
  Read(image);
  EXPECT_EQ(recorder.Pieces().at(7), "error allocating buffer\r\n");
}

// An earlier file of the chosen name is replaced only by a complete image.
TEST_F(ReadTest, FailedReadLeavesAnExistingImageUntouched) {
  const std::vector<unsigned char> earlier = Pattern(5000, 7);
  WriteBytes(image, earlier);
  drive->readFaults[4] = {true, 0};
  Recorder recorder(*dlg);
  Read(image);
  EXPECT_EQ(recorder.Pieces().at(7), "fatal read error\r\n");
  EXPECT_EQ(ReadBytes(image), earlier);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"image.dsk"});

  drive->readFaults.clear();
  Read(image);
  EXPECT_EQ(ReadBytes(image), drive->medium) << "a complete image replaces it";
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"image.dsk"});
}

TEST_F(ReadTest, ImageThatCannotBePutInPlaceIsAWriteError) {
  // While the drive is read, a folder takes the chosen name: the finished
  // image cannot replace it, the folder stays and no temporary file is left.
  Recorder recorder(*dlg, [&](const platform::testing::MessageRecord& record) {
    if (record.msg == PBM_SETPOS && record.wParam == 100) {
      ::mkdir(image.c_str(), 0755);
      WriteBytes(image + "/keep", {1, 2, 3});
    }
  });
  Read(image);
  const std::vector<std::string> pieces = recorder.Pieces();
  EXPECT_EQ(std::vector<std::string>(pieces.end() - 3, pieces.end()),
            (std::vector<std::string>{"reading disk...", "fatal write error\r\n", kUnlock}));
  EXPECT_EQ(ReadBytes(image + "/keep"), (std::vector<unsigned char>{1, 2, 3}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"image.dsk"});
}

TEST_F(ReadTest, ImageNamingAFolderIsNotCreated) {
  ::mkdir(image.c_str(), 0755);
  Recorder recorder(*dlg);
  Read(image);
  EXPECT_EQ(recorder.Pieces().at(5), "error\r\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"image.dsk"});
}

TEST_F(ReadTest, StopRequestEndsTheCopyAtACylinderBoundary) {
  struct Case {
    bool earlierFile;
  };
  for (const Case c : {Case{false}, Case{true}}) {
    SCOPED_TRACE(c.earlierFile);
    ::unlink(image.c_str());
    if (c.earlierFile) WriteBytes(image, {9, 9, 9});
    Recorder recorder(*dlg, [&](const platform::testing::MessageRecord& record) {
      if (record.msg == PBM_SETPOS && record.wParam == 50) InterlockedExchange(&dlg->m_lStopRequest, 1);
    });
    Read(image);
    InterlockedExchange(&dlg->m_lStopRequest, 0);
    const std::vector<std::string> pieces = recorder.Pieces();
    EXPECT_EQ(std::vector<std::string>(pieces.end() - 3, pieces.end()),
              (std::vector<std::string>{"reading disk...", "cancelled\r\n", kUnlock}));
    // Asked while the fifth cylinder was on its way: it is finished, no other
    // one starts.
    EXPECT_EQ(ReadBytes(image), (c.earlierFile ? std::vector<unsigned char>{9, 9, 9} : Cylinders(5)));
    EXPECT_EQ(drive->counts().unlocks, drive->counts().locks);
    EXPECT_EQ(dir.Names().size(), 1u);
  }
}

TEST_F(ReadTest, DriveTextNamesTheDeviceOpenedForReading) {
  auto driveB = SimDrive::WithGeometry(2, 1, 1, 512);
  platform::testing::InstallSimDrive('b', driveB);
  Recorder recorder(*dlg);
  IoRecorder io;
  CDiskCopier copier;
  copier.m_pDlg = dlg.get();
  copier.ReadDiskToImage("b:", image.c_str());
  EXPECT_EQ(recorder.Pieces().front(), "opening disk b:...");
  EXPECT_EQ(driveB->counts().opens, 1);
  EXPECT_EQ(drive->counts().opens, 0);
  // The volume shared for reading and writing; the image, under its
  // temporary name, created anew for reading and writing and not shared.
  ExpectOneOpenEach(io, "(access 0x80000000, share 0x3, disposition 3)",
                    "(access 0xc0000000, share 0x0, disposition 2)");
}

}  // namespace
}  // namespace varnel_test
