#include "platform/registry/tree.h"

#include <QString>
#include <algorithm>

namespace platform::registry {
namespace {

// The form in which two names are compared. Plain ASCII, the usual case, is
// folded directly; other names go through Unicode case folding.
std::string Folded(const std::string& name) {
  const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii) return QString::fromUtf8(name.data(), qsizetype(name.size())).toCaseFolded().toStdString();
  std::string folded = name;
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return folded;
}

}  // namespace

bool SameName(const std::string& a, const std::string& b) { return Folded(a) == Folded(b); }

bool NameBefore(const std::string& a, const std::string& b) {
  const std::string fa = Folded(a), fb = Folded(b);
  return fa != fb ? fa < fb : a < b;
}

bool IsUtf8(const std::string& text) {
  // Decoding replaces every malformed sequence, so only valid text comes
  // back unchanged.
  return QString::fromUtf8(text.data(), qsizetype(text.size())).toStdString() == text;
}

bool IsValidName(const std::string& name) {
  return !name.empty() && name.size() <= 255 && name.find('\\') == std::string::npos && IsUtf8(name);
}

bool SplitPath(const char* path, std::vector<std::string>& names) {
  names.clear();
  if (path == nullptr || *path == '\0') return true;
  const std::string text = path;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\\', start);
    const std::string name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!IsValidName(name)) return false;
    names.push_back(name);
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

Key* Key::Find(const std::string& subkeyName) {
  for (Key& subkey : subkeys)
    if (SameName(subkey.name, subkeyName)) return &subkey;
  return nullptr;
}

const Key* Key::Find(const std::string& subkeyName) const { return const_cast<Key*>(this)->Find(subkeyName); }

Key* Key::Walk(const std::vector<std::string>& path) {
  Key* key = this;
  for (const std::string& name : path) {
    key = key->Find(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

const Key* Key::Walk(const std::vector<std::string>& path) const { return const_cast<Key*>(this)->Walk(path); }

Key& Key::Child(const std::string& subkeyName, bool& created) {
  if (Key* found = Find(subkeyName)) return *found;
  auto at = std::find_if(subkeys.begin(), subkeys.end(), [&](const Key& k) { return NameBefore(subkeyName, k.name); });
  Key key;
  key.name = subkeyName;
  created = true;
  return *subkeys.insert(at, std::move(key));
}

void Key::Remove(const std::string& subkeyName) {
  subkeys.erase(
      std::remove_if(subkeys.begin(), subkeys.end(), [&](const Key& k) { return SameName(k.name, subkeyName); }),
      subkeys.end());
}

}  // namespace platform::registry
