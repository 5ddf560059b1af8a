#include "platform/registry/store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/registry/files.h"

namespace platform::registry {
namespace {

// The file holds one object:
//   {"format": "varnel-registry", "version": 1, "HKEY_CLASSES_ROOT": KEY}
// where KEY is {"value": "text", "keys": {"Name": KEY, ...}}, both members
// optional. A key without "value" has no default value, which differs from
// an empty one.
constexpr const char* kFormat = "varnel-registry";
constexpr int kVersion = 1;
constexpr const char* kRoot = "HKEY_CLASSES_ROOT";

QString ToQ(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QJsonObject ToJson(const Key& key) {
  QJsonObject object;
  if (key.value) object.insert("value", ToQ(*key.value));
  if (!key.subkeys.empty()) {
    QJsonObject subkeys;
    for (const Key& subkey : key.subkeys) subkeys.insert(ToQ(subkey.name), ToJson(subkey));
    object.insert("keys", subkeys);
  }
  return object;
}

bool FromJson(const QJsonObject& object, Key& key, std::string& error) {
  if (object.contains("value")) {
    if (!object.value("value").isString()) {
      error = "a value that is not text";
      return false;
    }
    key.value = object.value("value").toString().toStdString();
  }
  if (!object.contains("keys")) return true;
  if (!object.value("keys").isObject()) {
    error = "subkeys that are not an object";
    return false;
  }
  const QJsonObject subkeys = object.value("keys").toObject();
  for (auto it = subkeys.begin(); it != subkeys.end(); ++it) {
    const std::string name = it.key().toStdString();
    if (!IsValidName(name) || !it.value().isObject()) {
      error = "an invalid key \"" + name + "\"";
      return false;
    }
    bool created = false;
    Key& subkey = key.Child(name, created);
    if (!created) {
      error = "two keys named \"" + name + "\"";
      return false;
    }
    if (!FromJson(it.value().toObject(), subkey, error)) return false;
  }
  return true;
}

bool Parse(const std::string& bytes, Key& root, std::string& error) {
  QJsonParseError parseError;
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())), &parseError);
  if (document.isNull()) {
    error = parseError.errorString().toStdString() + " at byte " + std::to_string(parseError.offset);
    return false;
  }
  const QJsonObject top = document.object();
  if (!document.isObject() || top.value("format").toString() != kFormat || top.value("version").toInt() != kVersion ||
      !top.value(kRoot).isObject()) {
    error = "not a store of this version";
    return false;
  }
  return FromJson(top.value(kRoot).toObject(), root, error);
}

std::string Serialise(const Key& root) {
  QJsonObject top;
  top.insert("format", kFormat);
  top.insert("version", kVersion);
  top.insert(kRoot, ToJson(root));
  return QJsonDocument(top).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace

StoreLock::StoreLock(const std::string& folder, bool create) {
  struct stat st;
  if (!create && ::stat(folder.c_str(), &st) != 0 && errno == ENOENT) {
    m_ok = true;
    return;
  }
  if (create && !MakeFolders(folder)) return;
  m_fd = ::open((folder + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (m_fd < 0) return;
  while (::flock(m_fd, LOCK_EX) != 0) {
    if (errno != EINTR) return;
  }
  m_ok = true;
}

StoreLock::~StoreLock() {
  // Closing the file releases the lock.
  if (m_fd >= 0) ::close(m_fd);
}

bool Store::Stamp::operator==(const Stamp& other) const {
  return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
         modified == other.modified && changed == other.changed;
}

Store::Store(std::string dataHome) : m_dataHome(std::move(dataHome)) {}

bool Store::StampOf(Stamp& stamp) const {
  stamp = Stamp();
  struct stat st;
  if (::stat(path().c_str(), &st) != 0) return errno == ENOENT;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modified = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
  stamp.changed = (long long)st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
  return true;
}

bool Store::Refresh() {
  Stamp now;
  if (!StampOf(now)) return false;
  if (now == m_stamp) return true;
  Key root;
  if (now.exists) {
    std::string bytes;
    const ReadResult read = ReadWholeFile(path(), bytes);
    if (read == ReadResult::failed) return false;
    std::string error;
    if (read == ReadResult::ok && !Parse(bytes, root, error)) {
      // A store that stays in place would be overwritten by the next
      // change, so it is only given up once it is out of the way.
      if (!MoveAside(path(), "the registry store", error)) return false;
      root = Key();
      if (!StampOf(now)) return false;
    }
  }
  m_root = std::move(root);
  m_stamp = now;
  return true;
}

bool Store::Save(const Key& root) {
  if (!MakeFolders(folder()) || !ReplaceFile(path(), Serialise(root), true)) return false;
  m_root = root;
  StampOf(m_stamp);
  return true;
}

}  // namespace platform::registry
