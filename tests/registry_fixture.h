// Fixtures of the registry tests: a data folder of its own for every test,
// the keys of the store file, and running the desktop's tools.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support.h"

namespace varnel_test {

// XDG_DATA_HOME is a new folder "data" in the test's temporary folder, not
// yet created, and the registry forgets what it read before.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Makes this folder XDG_DATA_HOME, for a case of its own.
  void UseDataFolder(const std::string& folder);
  std::string Data(const std::string& name = "") const { return name.empty() ? m_data : m_data + "/" + name; }
  std::string StorePath() const { return Data("varnel/registry.json"); }
  // Every key of the store file, as "path" for a key without a value and
  // "path=value" for one with, sorted.
  std::vector<std::string> StoredKeys() const;
  // Sets a key's value under HKEY_CLASSES_ROOT and expects success.
  void SetKey(const std::string& path, const std::string& value);

  TempDir dir;

 private:
  std::optional<std::string> m_savedDataHome;
  std::string m_data;
};

struct RunResult {
  int exitCode = -1;  // -1: did not start or did not end in time
  std::string output;
};
// Runs a program without a shell, with these variables added to the
// environment, and collects its standard output.
RunResult RunCommand(const std::vector<std::string>& command,
                     const std::map<std::string, std::string>& environment = {});
bool HaveProgram(const std::string& name);
// The names in a folder, sorted; none when it does not exist.

}  // namespace varnel_test
