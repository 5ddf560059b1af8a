// Writing an image onto a floppy: the log pieces and progress positions of
// every outcome, the choice of geometry among the drive's media types, and
// what reaches the volume.
#include <unistd.h>

#include <functional>
#include <map>

#include "engine/DiskCopier.h"
#include "tests/support.h"

namespace varnel_test {
namespace {

using platform::testing::MakeGeometry;
using platform::testing::SimDrive;

const std::string kOpen = "opening disk a:...";
const std::string kLock = "checking and locking volume...";
const std::string kOk = "ok\r\n";
const std::string kUnlock = "unlocking volume...ok\r\n";
const std::vector<std::string> kUpToWriting = {kOpen, kOk, kLock, kOk, "opening image file...", kOk,
                                                "writing image to disk..."};

std::vector<std::string> Then(std::vector<std::string> head, const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

class WriteTest : public DialogTest {
 public:
  void SetUp() override {
    DialogTest::SetUp();
    Use(SimDrive::WithGeometry(8, 2, 9, 512));
    image = dir / "image.dsk";
    WriteBytes(image, Pattern(8 * 9216, 1));
  }

  void Use(std::shared_ptr<SimDrive> simulated) {
    drive = std::move(simulated);
    std::fill(drive->medium.begin(), drive->medium.end(), 0xEE);
    platform::testing::InstallSimDrive('a', drive);
  }

  std::vector<std::string> Write() {
    Recorder recorder(*dlg);
    CDiskCopier copier;
    copier.m_pDlg = dlg.get();
    copier.WriteImageToDisk(image.c_str(), "a:");
    positions = recorder.Positions();
    return recorder.Pieces();
  }

  // The medium's first bytes, as many as the image has.
  std::vector<unsigned char> Written() const {
    const size_t size = std::min(drive->medium.size(), ReadBytes(image).size());
    return std::vector<unsigned char>(drive->medium.begin(), drive->medium.begin() + long(size));
  }

  std::shared_ptr<SimDrive> drive;
  std::string image;
  std::vector<int> positions;
};

struct WriteOutcome {
  const char* name;
  std::function<void(WriteTest&)> arrange;
  std::vector<std::string> pieces;
  bool locked;
  size_t written;  // bytes that reached the volume
};

TEST_F(WriteTest, EveryOutcomeLogsItsPiecesAndReleasesWhatItTook) {
  const std::vector<WriteOutcome> outcomes = {
      {"volume cannot be opened", [](WriteTest& t) { t.drive->failOpen = true; }, {kOpen, "error\r\n"}, false, 0},
      {"lock refused", [](WriteTest& t) { t.drive->failLock = true; },
       {kOpen, kOk, kLock, "error locking volume\r\n"}, false, 0},
      {"geometry query fails", [](WriteTest& t) { t.drive->failGeometry = true; },
       {kOpen, kOk, kLock, "error getting disk geometry\r\n", kUnlock}, true, 0},
      {"no media types", [](WriteTest& t) { t.drive->failMediaTypes = true; },
       {kOpen, kOk, kLock, "error, disk geometry not supported\r\n", kUnlock}, true, 0},
      {"image cannot be opened", [](WriteTest& t) { t.image = t.dir / "missing.dsk"; },
       {kOpen, kOk, kLock, kOk, "opening image file...", "error\r\n", kUnlock}, true, 0},
      {"no media type fits", [](WriteTest& t) { WriteBytes(t.image, Pattern(8 * 9216 + 1, 2)); },
       {kOpen, kOk, kLock, kOk, "opening image file...", kOk, "error, geometry not supported on drive\r\n", kUnlock},
       true, 0},
      {"image written", [](WriteTest&) {}, Then(kUpToWriting, {kOk, kUnlock}), true, 8 * 9216},
      {"read fails", [](WriteTest&) { platform::testing::SetFileFaults({{3, {true, 0}}}, {}); },
       Then(kUpToWriting, {"fatal read error\r\n", kUnlock}), true, 3 * 9216},
      {"write fails", [](WriteTest& t) { t.drive->writeFaults[5] = {true, 0}; },
       Then(kUpToWriting, {"fatal write error\r\n", kUnlock}), true, 5 * 9216},
      {"write is short", [](WriteTest& t) { t.drive->writeFaults[2] = {false, 100}; },
       Then(kUpToWriting, {"fatal write error\r\n", kUnlock}), true, 2 * 9216 + 100},
  };
  for (const WriteOutcome& outcome : outcomes) {
    SCOPED_TRACE(outcome.name);
    platform::testing::SetFileFaults({}, {});
    Use(SimDrive::WithGeometry(8, 2, 9, 512));
    image = dir / "image.dsk";
    WriteBytes(image, Pattern(8 * 9216, 1));
    outcome.arrange(*this);
    IoRecorder io;

    EXPECT_EQ(Write(), outcome.pieces);
    ExpectReleased(*drive, outcome.locked);
    ExpectReleasedInReverseOrder(io.events());
    const std::vector<unsigned char> bytes = ReadBytes(image);
    const auto end = drive->medium.begin() + long(outcome.written);
    EXPECT_TRUE(std::equal(drive->medium.begin(), end, bytes.begin()));
    EXPECT_TRUE(std::all_of(end, drive->medium.end(), [](unsigned char b) { return b == 0xEE; }))
        << "nothing but what was written reached the volume";
  }
}

TEST_F(WriteTest, ReleasesInReverseOrderAndSetsPositionOneAfterTheCopy) {
  IoRecorder io;
  Write();
  const std::vector<std::string> events = io.events();
  const std::vector<std::string> tail(events.end() - 5, events.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"free memory", "close file", "dismount volume", "unlock volume",
                                            "close volume"}));
  EXPECT_EQ(positions, (std::vector<int>{100, 87, 75, 62, 50, 37, 25, 12, 1}));
}

TEST_F(WriteTest, ProgressPositionsForCylinderCounts) {
  struct Case {
    DWORD cylinders;
    std::vector<int> head;
    std::vector<int> tail;  // the last positions, the final 1 included
  };
  const std::vector<Case> cases = {
      {1, {100}, {100, 1}},
      {3, {100, 66, 33}, {100, 66, 33, 1}},
      {80, {100, 98, 97, 96, 95, 93, 92, 91, 90, 88}, {3, 2, 1, 1}},
      {101, {100, 99, 98}, {2, 1, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cylinders);
    Use(SimDrive::WithGeometry(c.cylinders, 1, 1, 512));
    WriteBytes(image, Pattern(c.cylinders * 512, c.cylinders));
    EXPECT_EQ(Write(), Then(kUpToWriting, {kOk, kUnlock}));
    ASSERT_EQ(positions.size(), c.cylinders + 1);
    EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), positions.begin()));
    EXPECT_TRUE(std::equal(c.tail.rbegin(), c.tail.rend(), positions.rbegin()));
    EXPECT_EQ(Written(), ReadBytes(image));
  }
}

// The drive's media types in its own order: the first that can hold the
// image and whose cylinder buffer can be had is the geometry of the copy.
TEST_F(WriteTest, GeometryIsTheFirstFittingMediaType) {
  const DISK_GEOMETRY k720 = MakeGeometry(80, 2, 9, 512, F3_720_512);
  const DISK_GEOMETRY k144 = MakeGeometry(80, 2, 18, 512, F3_1Pt44_512);
  const DISK_GEOMETRY k288 = MakeGeometry(80, 2, 36, 512, F3_2Pt88_512);
  const DISK_GEOMETRY kEmpty = MakeGeometry(0, 2, 18, 512, F3_1Pt44_512);
  struct Case {
    const char* name;
    std::vector<DISK_GEOMETRY> types;
    size_t imageSize;
    std::function<bool(SIZE_T)> allocationFails;
    std::vector<std::string> pieces;
    size_t passes;  // positions before the final 1
    DWORD chunk;    // the size of every full write
  };
  const size_t k720Size = 737280, k144Size = 1474560;
  const std::vector<Case> cases = {
      {"an earlier larger type wins over an exact fit", {k288, k144}, k144Size, nullptr,
       Then(kUpToWriting, {kOk, kUnlock}), 41, 36 * 1024},
      {"exact fit in the drive's order", {k720, k144, k288}, k144Size, nullptr, Then(kUpToWriting, {kOk, kUnlock}), 80,
       18 * 1024},
      {"a failed allocation passes to the next type", {k720, k144}, k720Size,
       [](SIZE_T size) { return size == 9 * 1024; },
       {kOpen, kOk, kLock, kOk, "opening image file...", kOk, "error allocating copy buffer\r\n",
        "writing image to disk...", kOk, kUnlock},
       41, 18 * 1024},
      {"every fitting type fails to allocate", {k720, k144}, k720Size, [](SIZE_T) { return true; },
       {kOpen, kOk, kLock, kOk, "opening image file...", kOk, "error allocating copy buffer\r\n",
        "error allocating copy buffer\r\n", "error, geometry not supported on drive\r\n", kUnlock},
       0, 0},
      {"capacity 0 holds only an empty image", {kEmpty, k720}, 0, nullptr, Then(kUpToWriting, {kOk, kUnlock}), 0, 0},
      {"capacity 0 is passed over for a real image", {kEmpty, k720}, k720Size, nullptr,
       Then(kUpToWriting, {kOk, kUnlock}), 80, 9 * 1024},
      {"an empty image on a real type reads nothing", {k720}, 0, nullptr,
       Then(kUpToWriting, {"fatal read error\r\n", kUnlock}), 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto sim = SimDrive::WithGeometry(80, 2, 36, 512);
    sim->mediaTypes = c.types;
    Use(sim);
    WriteBytes(image, Pattern(c.imageSize, 3));
    platform::testing::SetVirtualAllocFailure(c.allocationFails);
    IoRecorder io;
    EXPECT_EQ(Write(), c.pieces);
    platform::testing::SetVirtualAllocFailure(nullptr);
    if (!c.pieces.empty() && c.pieces[c.pieces.size() - 2] != "error, geometry not supported on drive\r\n") {
      ASSERT_EQ(positions.size(), c.passes + 1);
      EXPECT_EQ(positions.back(), 1);
    } else {
      EXPECT_TRUE(positions.empty());
    }
    if (c.chunk != 0) {
      EXPECT_EQ(Written(), ReadBytes(image));
    }
    const std::vector<std::string> writes = io.Details("write volume");
    if (c.chunk != 0) {
      ASSERT_FALSE(writes.empty());
      EXPECT_NE(writes.front().find(" " + std::to_string(c.chunk) + "/" + std::to_string(c.chunk)), std::string::npos)
          << writes.front();
    } else {
      EXPECT_TRUE(writes.empty());
    }
  }
}

// An image shorter than the chosen type's capacity ends "ok" once all of it
// is on the volume; one that delivers less than its size does not.
TEST_F(WriteTest, ShortImagesEndOkOnlyWhenEveryByteWasWritten) {
  struct Case {
    const char* name;
    size_t size;
    std::map<unsigned, platform::testing::SimFault> readFaults;
    std::string end;
  };
  const std::vector<Case> cases = {
      {"whole cylinders", 5 * 9216, {}, kOk},
      {"a part of a cylinder", 5 * 9216 + 700, {}, kOk},
      {"delivers less than its size", 5 * 9216, {{3, {false, 0}}}, "fatal read error\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Use(SimDrive::WithGeometry(8, 2, 9, 512));
    WriteBytes(image, Pattern(c.size, 4));
    platform::testing::SetFileFaults(c.readFaults, {});
    EXPECT_EQ(Write(), Then(kUpToWriting, {c.end, kUnlock}));
    platform::testing::SetFileFaults({}, {});
    EXPECT_EQ(positions.back(), 1);
    if (c.end == kOk) {
      EXPECT_EQ(Written(), ReadBytes(image));
    }
  }
}

TEST_F(WriteTest, ImageOfFourGibibytesOrMoreFitsNoMediaType) {
  // A sparse file: 4 GiB and one floppy, whose low 32 bits would fit.
  const ULONGLONG size = (1ull << 32) + 737280;
  ASSERT_EQ(::truncate(image.c_str(), off_t(size)), 0);
  auto sim = SimDrive::WithGeometry(80, 2, 9, 512);
  Use(sim);
  EXPECT_EQ(Write(), (std::vector<std::string>{kOpen, kOk, kLock, kOk, "opening image file...", kOk,
                                               "error, geometry not supported on drive\r\n", kUnlock}));
  EXPECT_EQ(drive->counts().writes, 0);
}

TEST_F(WriteTest, StopRequestEndsTheCopyAtACylinderBoundary) {
  Recorder recorder(*dlg, [&](const platform::testing::MessageRecord& record) {
    if (record.msg == PBM_SETPOS && record.wParam == 75) InterlockedExchange(&dlg->m_lStopRequest, 1);
  });
  CDiskCopier copier;
  copier.m_pDlg = dlg.get();
  copier.WriteImageToDisk(image.c_str(), "a:");
  InterlockedExchange(&dlg->m_lStopRequest, 0);
  EXPECT_EQ(recorder.Pieces(), Then(kUpToWriting, {"cancelled\r\n", kUnlock}));
  EXPECT_EQ(recorder.Positions(), (std::vector<int>{100, 87, 75, 1}));
  EXPECT_EQ(drive->counts().writes, 3);
  EXPECT_EQ(drive->counts().unlocks, 1);
}

// The volume for writing only, shared for writing; the image for reading,
// not shared, and only if it exists.
TEST_F(WriteTest, OpensTheVolumeForWritingAndTheImageForReading) {
  IoRecorder io;
  Write();
  ExpectOneOpenEach(io, "(access 0x40000000, share 0x2, disposition 3)",
                    "(access 0x80000000, share 0x0, disposition 3)");
}

}  // namespace
}  // namespace varnel_test
