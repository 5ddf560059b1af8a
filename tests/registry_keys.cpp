// The registry functions on HKEY_CLASSES_ROOT and their store file.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "platform/testing.h"
#include "platform/win32.h"
#include "tests/registry_fixture.h"

namespace varnel_test {
namespace {

using Keys = std::vector<std::string>;

class RegistryKeys : public RegistryTest {
 protected:
  std::string Query(HKEY key, const char* subKey) {
    char value[512] = "";
    LONG size = sizeof value;
    EXPECT_EQ(RegQueryValueA(key, subKey, value, &size), ERROR_SUCCESS) << (subKey ? subKey : "(null)");
    return value;
  }
  std::vector<std::string> Subkeys(const char* path) {
    HKEY key = nullptr;
    std::vector<std::string> names;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, path, &key) != ERROR_SUCCESS) return {"(cannot open)"};
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) names.push_back(name);
    RegCloseKey(key);
    return names;
  }
  std::string StoreText() {
    const std::vector<unsigned char> bytes = ReadBytes(StorePath());
    return std::string(bytes.begin(), bytes.end());
  }
};

TEST_F(RegistryKeys, CreateMakesEveryMissingKeyAndOpenOnlyFindsExistingOnes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, "A", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_FALSE(Exists(StorePath())) << "opening a missing key wrote the store";

  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "A\\B\\C", &key), ERROR_SUCCESS);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(StoredKeys(), (Keys{"A", "A\\B", "A\\B\\C"}));

  // Paths below an open key, and an existing key opened by create.
  HKEY below = nullptr;
  ASSERT_EQ(RegCreateKeyA(key, "D\\E", &below), ERROR_SUCCESS);
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "A\\B", &again), ERROR_SUCCESS);
  EXPECT_EQ(StoredKeys(), (Keys{"A", "A\\B", "A\\B\\C", "A\\B\\C\\D", "A\\B\\C\\D\\E"}));
  HKEY opened = nullptr;
  EXPECT_EQ(RegOpenKeyA(again, "C\\D", &opened), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyA(again, "C\\X", &opened), ERROR_FILE_NOT_FOUND);
  for (HKEY open : {key, below, again}) EXPECT_EQ(RegCloseKey(open), ERROR_SUCCESS);
}

TEST_F(RegistryKeys, NamesCompareWithoutCaseAndKeepTheSpellingTheyWereCreatedWith) {
  SetKey("DiskImage\\Shell", "first");
  SetKey("DISKIMAGE\\shell", "second");
  SetKey("diskimage\\SHELL\\Open", "o");
  SetKey("Ärger", "1");
  SetKey("äRGER", "2");
  EXPECT_EQ(StoredKeys(), (Keys{"DiskImage", "DiskImage\\Shell=second", "DiskImage\\Shell\\Open=o", "Ärger=2"}));
  EXPECT_EQ(Query(HKEY_CLASSES_ROOT, "dIsKiMaGe\\sHeLl"), "second");
  EXPECT_EQ(Subkeys("DISKIMAGE"), (Keys{"Shell"}));
}

TEST_F(RegistryKeys, ValuesAreTheTextUpToItsEndAndReadLikeThePlatformsValues) {
  // The size given is not used: the value ends at the text's NUL.
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "K", REG_SZ, "hello", 2), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "Empty", &key), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueA(key, nullptr, REG_SZ, "", 1), ERROR_SUCCESS);
  EXPECT_EQ(StoredKeys(), (Keys{"Empty=", "K=hello"}));

  LONG size = 0;
  EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, "K", nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6);
  char small[3] = "";
  size = sizeof small;
  EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, "K", small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6);
  char exact[6] = "";
  size = sizeof exact;
  EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, "k", exact, &size), ERROR_SUCCESS);
  EXPECT_STREQ(exact, "hello");
  EXPECT_EQ(size, 6);
  EXPECT_EQ(Query(key, nullptr), "");
  SetKey("NoValue\\Below", "b");
  EXPECT_EQ(Query(HKEY_CLASSES_ROOT, "NoValue"), "") << "a key without a value reads as empty text";
  EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, "Missing", exact, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryKeys, SubkeysAreListedInNameOrder) {
  for (const char* path : {"E\\b", "E\\A", "E\\c"}) SetKey(path, "");
  EXPECT_EQ(Subkeys("E"), (Keys{"A", "b", "c"}));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, "E", &key), ERROR_SUCCESS);
  char name[2];
  EXPECT_EQ(RegEnumKeyA(key, 0, name, 1), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumKeyA(key, 3, name, sizeof name), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

TEST_F(RegistryKeys, InvalidPathsValuesAndHandlesAreRefused) {
  const std::string tooLong(256, 'x');
  for (const std::string& path :
       {std::string("\\A"), std::string("A\\"), std::string("A\\\\B"), tooLong, std::string("bad\xff")}) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key), ERROR_INVALID_PARAMETER) << path;
    EXPECT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key), ERROR_INVALID_PARAMETER) << path;
    EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, path.c_str(), REG_SZ, "v", 2), ERROR_INVALID_PARAMETER) << path;
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str()), ERROR_INVALID_PARAMETER) << path;
  }
  EXPECT_NE(RegSetValueA(HKEY_CLASSES_ROOT, "K", 7, "v", 2), ERROR_SUCCESS) << "only text values are kept";
  EXPECT_NE(RegSetValueA(HKEY_CLASSES_ROOT, "K", REG_SZ, "bad\xff", 5), ERROR_SUCCESS);
  EXPECT_TRUE(StoredKeys().empty());

  const HKEY currentUser = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u));
  HKEY key = nullptr;
  EXPECT_NE(RegCreateKeyA(currentUser, "Software", &key), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "K", &key), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  HKEY below = nullptr;
  EXPECT_EQ(RegCreateKeyA(key, "Below", &below), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueA(key, nullptr, REG_SZ, "v", 2), ERROR_INVALID_HANDLE);
  EXPECT_EQ(StoredKeys(), (Keys{"K"}));
}

TEST_F(RegistryKeys, DeleteRemovesOneKeyWithoutSubkeys) {
  SetKey("Parent\\Child", "c");
  EXPECT_NE(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent"), ERROR_SUCCESS);
  EXPECT_EQ(StoredKeys(), (Keys{"Parent", "Parent\\Child=c"}));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent\\Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_SUCCESS) << "the root cannot be deleted";
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "PARENT\\child"), ERROR_SUCCESS);
  EXPECT_EQ(StoredKeys(), (Keys{"Parent"}));
  HKEY parent = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, "Parent", &parent), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent"), ERROR_SUCCESS);
  EXPECT_TRUE(StoredKeys().empty());
  EXPECT_NE(RegSetValueA(parent, nullptr, REG_SZ, "v", 2), ERROR_SUCCESS) << "the handle's key is gone";
  RegCloseKey(parent);
}

TEST_F(RegistryKeys, TheStoreOutlivesTheProcessAndAnotherProcesssChangeIsKept) {
  SetKey("Mine", "1");
  platform::testing::ResetRegistry();
  EXPECT_EQ(Query(HKEY_CLASSES_ROOT, "Mine"), "1");

  // Another process replaces the store with one more key, as it would.
  QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(StoreText()));
  QJsonObject top = document.object();
  QJsonObject root = top.value("HKEY_CLASSES_ROOT").toObject();
  QJsonObject keys = root.value("keys").toObject();
  keys.insert("Theirs", QJsonObject{{"value", "2"}});
  root.insert("keys", keys);
  top.insert("HKEY_CLASSES_ROOT", root);
  const QByteArray theirs = QJsonDocument(top).toJson();
  WriteBytes(StorePath() + ".other", std::vector<unsigned char>(theirs.begin(), theirs.end()));
  ASSERT_EQ(::rename((StorePath() + ".other").c_str(), StorePath().c_str()), 0);

  SetKey("Mine2", "3");
  EXPECT_EQ(StoredKeys(), (Keys{"Mine2=3", "Mine=1", "Theirs=2"}));
}

TEST_F(RegistryKeys, AChangeWaitsWhileAnotherProcessHoldsTheStoreLock) {
  SetKey("Before", "");
  const int fd = ::open(Data("varnel/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    SetKey("During", "");
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(done) << "the change did not wait for the lock";
  ::close(fd);
  writer.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(StoredKeys(), (Keys{"Before=", "During="}));
}

struct BrokenStore {
  const char* name;
  std::string text;
};

TEST_F(RegistryKeys, AStoreThatCannotBeParsedIsMovedAsideAndReported) {
  const std::vector<BrokenStore> cases = {
      {"not JSON", "{\"format\": \"varnel-registry\", \"version\": 1, \"HKEY_CLA"},
      {"another format", "[1, 2, 3]\n"},
      {"names differing only in case",
       R"({"format": "varnel-registry", "version": 1, "HKEY_CLASSES_ROOT": {"keys": {"A": {}, "a": {}}}})"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const BrokenStore& c = cases[i];
    SCOPED_TRACE(c.name);
    UseDataFolder(dir / ("case" + std::to_string(i)));
    ASSERT_EQ(::mkdir(Data().c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(Data("varnel").c_str(), 0755), 0);
    WriteBytes(StorePath(), std::vector<unsigned char>(c.text.begin(), c.text.end()));

    ::testing::internal::CaptureStderr();
    HKEY key = nullptr;
    const LONG result = RegCreateKeyA(HKEY_CLASSES_ROOT, "New", &key);
    const std::string report = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(result, ERROR_SUCCESS);
    RegCloseKey(key);

    std::vector<std::string> aside;
    for (const std::string& name : NamesIn(Data("varnel")))
      if (name.rfind("registry.json.broken-", 0) == 0) aside.push_back(name);
    ASSERT_EQ(aside.size(), 1u) << "the broken store was not kept";
    const std::vector<unsigned char> kept = ReadBytes(Data("varnel/" + aside[0]));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), c.text);
    EXPECT_NE(report.find(aside[0]), std::string::npos) << "reported: " << report;

    EXPECT_EQ(StoredKeys(), (Keys{"New"}));
  }
}

TEST_F(RegistryKeys, AStoreThatCannotBeWrittenKeepsItsContentsAndTheKeysTheirState) {
  SetKey("Old", "o");
  const std::string before = StoreText();
  // A file size limit makes every longer write fail, as a full disk would,
  // whoever runs the test.
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit limit = saved;
  limit.rlim_cur = before.size() + 8;
  auto previous = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  const LONG result = RegSetValueA(HKEY_CLASSES_ROOT, "New\\Longer\\Path", REG_SZ, "a value long enough", 20);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous);

  EXPECT_NE(result, ERROR_SUCCESS);
  EXPECT_EQ(StoreText(), before);
  EXPECT_EQ(NamesIn(Data("varnel")), (Keys{"registry.json", "registry.lock"})) << "a temporary file was left";
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, "New", &key), ERROR_FILE_NOT_FOUND)
      << "the refused change was kept in memory";
}

TEST_F(RegistryKeys, HandlesServeEveryThread) {
  constexpr int kThreads = 4, kKeys = 10;
  std::vector<std::thread> threads;
  std::mutex mutex;
  std::set<HKEY> handles;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < kKeys; ++k) {
        const std::string path = "T" + std::to_string(t) + "\\K" + std::to_string(k);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key), ERROR_SUCCESS);
        const std::string value = std::to_string(t * 100 + k);
        EXPECT_EQ(RegSetValueA(key, nullptr, REG_SZ, value.c_str(), DWORD(value.size() + 1)), ERROR_SUCCESS);
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_TRUE(handles.insert(key).second) << "two open keys share a handle";
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const Keys keys = StoredKeys();
  EXPECT_EQ(keys.size(), size_t(kThreads * (kKeys + 1)));
  for (int t = 0; t < kThreads; ++t)
    for (int k = 0; k < kKeys; ++k) {
      const std::string line = "T" + std::to_string(t) + "\\K" + std::to_string(k) + "=" + std::to_string(t * 100 + k);
      EXPECT_NE(std::find(keys.begin(), keys.end(), line), keys.end()) << line;
    }
  for (HKEY key : handles) EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
}  // namespace varnel_test
