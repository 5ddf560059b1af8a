// Registering and unregistering the image file type: the keys and values it
// leaves under HKEY_CLASSES_ROOT.
#include "platform/win32.h"
#include "shell/FileTypes.h"
#include "tests/registry_fixture.h"

namespace varnel_test {
namespace {

using Keys = std::vector<std::string>;

// The keys registration leaves for a program at this path, sorted.
Keys Layout(const std::string& program) {
  return {
      ".dsk=DiskImage",
      "DiskImage=Varnel Disk Image",
      "DiskImage\\DefaultIcon=" + program + ",0",
      "DiskImage\\shell",
      "DiskImage\\shell\\write to a:",
      "DiskImage\\shell\\write to a:\\command=\"" + program + "\" \"%1\" a:",
      "DiskImage\\shell\\write to b:",
      "DiskImage\\shell\\write to b:\\command=\"" + program + "\" \"%1\" b:",
  };
}

class FileTypes : public RegistryTest {
 protected:
  std::vector<unsigned char> StoreBytes() const { return ReadBytes(StorePath()); }
};

TEST_F(FileTypes, RegisteringWritesEveryKeyAndValueOfTheLayout) {
  for (const std::string program : {"/opt/varnel/bin/varnel", "/opt/my programs/var nel"}) {
    SCOPED_TRACE(program);
    UseDataFolder(dir / program.substr(program.rfind('/') + 1));
    RegisterImageFileTypes(program.c_str());
    EXPECT_EQ(StoredKeys(), Layout(program));
  }
}

TEST_F(FileTypes, RegisteringAgainChangesNothingAndANewPathRewritesEveryValue) {
  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  const std::vector<unsigned char> once = StoreBytes();
  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  EXPECT_EQ(StoreBytes(), once);
  EXPECT_EQ(StoredKeys(), Layout("/opt/varnel/bin/varnel"));

  RegisterImageFileTypes("/usr/local/bin/varnel2");
  EXPECT_EQ(StoredKeys(), Layout("/usr/local/bin/varnel2"));
}

TEST_F(FileTypes, AnExtensionKeyOfAnotherTypeIsTakenOver) {
  SetKey(".dsk", "OtherImage");
  SetKey("OtherImage", "Another program's images");
  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  Keys expected = Layout("/opt/varnel/bin/varnel");
  expected.push_back("OtherImage=Another program's images");
  EXPECT_EQ(StoredKeys(), expected);
}

TEST_F(FileTypes, UnregisteringRemovesEveryKey) {
  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  UnregisterImageFileTypes();
  EXPECT_EQ(StoredKeys(), Keys{});
}

TEST_F(FileTypes, UnregisteringWithNothingRegisteredChangesNothing) {
  UnregisterImageFileTypes();
  EXPECT_FALSE(Exists(StorePath())) << "a store was made";

  SetKey("Foreign", "kept");
  const std::vector<unsigned char> before = StoreBytes();
  UnregisterImageFileTypes();
  EXPECT_EQ(StoreBytes(), before);
}

struct ForeignKey {
  const char* path;
  Keys remaining;
};

TEST_F(FileTypes, KeysOfOtherOriginStayWithTheirParents) {
  const std::vector<ForeignKey> cases = {
      {"DiskImage\\shell\\open\\command",
       {"DiskImage=Varnel Disk Image", "DiskImage\\shell", "DiskImage\\shell\\open",
        "DiskImage\\shell\\open\\command=x"}},
      {"DiskImage\\Extra", {"DiskImage=Varnel Disk Image", "DiskImage\\Extra=x"}},
      {".dsk\\ShellNew", {".dsk=DiskImage", ".dsk\\ShellNew=x"}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].path);
    UseDataFolder(dir / ("case" + std::to_string(i)));
    RegisterImageFileTypes("/opt/varnel/bin/varnel");
    SetKey(cases[i].path, "x");
    UnregisterImageFileTypes();
    EXPECT_EQ(StoredKeys(), cases[i].remaining);
  }
}

}  // namespace
}  // namespace varnel_test
