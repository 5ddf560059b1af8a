// The keys under HKEY_CLASSES_ROOT as the registry keeps them in memory, and
// the rules for key names and paths.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::registry {

// Key names compare without regard to case, as on the platform, but a key
// keeps the spelling it was created with.
bool SameName(const std::string& a, const std::string& b);
bool NameBefore(const std::string& a, const std::string& b);

// A name is 1 to 255 bytes of UTF-8 without a backslash. Text of the A
// functions is UTF-8 here; bytes that are not cannot be written to the store
// or to the desktop's files, so they are refused rather than altered.
bool IsValidName(const std::string& name);
bool IsUtf8(const std::string& text);

// Splits "a\b\c" into its names. Null and "" give no names (the key itself);
// a leading, trailing or doubled backslash or an invalid name gives false.
bool SplitPath(const char* path, std::vector<std::string>& names);

struct Key {
  std::string name;
  // The default value; none until one is set.
  std::optional<std::string> value;
  // Kept in name order, so that listing and the store file are stable.
  std::vector<Key> subkeys;

  Key* Find(const std::string& subkeyName);
  const Key* Find(const std::string& subkeyName) const;
  // The key at this path below this one, or null.
  Key* Walk(const std::vector<std::string>& path);
  const Key* Walk(const std::vector<std::string>& path) const;
  // The subkey of this name, created when missing.
  Key& Child(const std::string& subkeyName, bool& created);
  void Remove(const std::string& subkeyName);
};

}  // namespace platform::registry
