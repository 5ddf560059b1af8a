#include "tests/registry_fixture.h"

#include <dirent.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>

#include "platform/testing.h"
#include "platform/win32.h"

namespace varnel_test {
namespace {

void CollectKeys(const QJsonObject& key, const std::string& path, std::vector<std::string>& lines) {
  if (!path.empty()) {
    const QJsonValue value = key.value("value");
    lines.push_back(value.isString() ? path + "=" + value.toString().toStdString() : path);
  }
  const QJsonObject subkeys = key.value("keys").toObject();
  for (auto it = subkeys.begin(); it != subkeys.end(); ++it)
    CollectKeys(it.value().toObject(), (path.empty() ? "" : path + "\\") + it.key().toStdString(), lines);
}

}  // namespace

void RegistryTest::SetUp() {
  ResetSeams();
  if (const char* saved = std::getenv("XDG_DATA_HOME")) m_savedDataHome = saved;
  UseDataFolder(dir / "data");
}

void RegistryTest::UseDataFolder(const std::string& folder) {
  m_data = folder;
  ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
  platform::testing::ResetRegistry();
}

void RegistryTest::TearDown() {
  platform::testing::ResetRegistry();
  if (m_savedDataHome)
    ::setenv("XDG_DATA_HOME", m_savedDataHome->c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}

std::vector<std::string> RegistryTest::StoredKeys() const {
  std::vector<std::string> lines;
  if (!Exists(StorePath())) return lines;
  const std::vector<unsigned char> bytes = ReadBytes(StorePath());
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
  EXPECT_TRUE(document.isObject()) << "the store is not a JSON object";
  CollectKeys(document.object().value("HKEY_CLASSES_ROOT").toObject(), "", lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

void RegistryTest::SetKey(const std::string& path, const std::string& value) {
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, path.c_str(), REG_SZ, value.c_str(), DWORD(value.size() + 1)),
            ERROR_SUCCESS)
      << path;
}

RunResult RunCommand(const std::vector<std::string>& command, const std::map<std::string, std::string>& environment) {
  QProcess process;
  QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
  for (const auto& variable : environment)
    variables.insert(QString::fromStdString(variable.first), QString::fromStdString(variable.second));
  process.setProcessEnvironment(variables);
  process.setProcessChannelMode(QProcess::SeparateChannels);
  QStringList arguments;
  for (size_t i = 1; i < command.size(); ++i) arguments << QString::fromStdString(command[i]);
  process.start(QString::fromStdString(command.at(0)), arguments);
  RunResult result;
  if (!process.waitForStarted(10000)) return result;
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return result;
  }
  result.output = process.readAllStandardOutput().toStdString();
  if (process.exitStatus() == QProcess::NormalExit) result.exitCode = process.exitCode();
  return result;
}

bool HaveProgram(const std::string& name) {
  return !QStandardPaths::findExecutable(QString::fromStdString(name)).isEmpty();
}


}  // namespace varnel_test
