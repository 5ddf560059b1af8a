// The registry functions on HKEY_CLASSES_ROOT. Every call takes the
// process's lock and the store's file lock, brings the keys up to date with
// the store file, and after a change writes the store and mirrors it into the
// desktop's database before it returns.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/registry/bridge.h"
#include "platform/registry/files.h"
#include "platform/registry/store.h"
#include "platform/testing.h"
#include "platform/win32/registry.h"

namespace platform::registry {
namespace {

struct Registry {
  std::mutex mutex;
  // Made at first use, for the data folder of that moment.
  std::unique_ptr<Store> store;
  // An open key is known by its path, so that a handle stays right when
  // another process rewrites the store.
  std::map<ULONG_PTR, std::vector<std::string>> handles;
  // Handles are never reused, so a closed one stays refused.
  ULONG_PTR next = 0x1000;

  Store& TheStore() {
    if (!store) store = std::make_unique<Store>(DataHome());
    return *store;
  }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

bool PathOfHandle(Registry& registry, HKEY key, std::vector<std::string>& path) {
  path.clear();
  if (key == HKEY_CLASSES_ROOT) return true;
  auto found = registry.handles.find(reinterpret_cast<ULONG_PTR>(key));
  if (found == registry.handles.end()) return false;
  path = found->second;
  return true;
}

HKEY NewHandle(Registry& registry, const std::vector<std::string>& path) {
  const ULONG_PTR value = registry.next;
  registry.next += 4;
  registry.handles[value] = path;
  return reinterpret_cast<HKEY>(value);
}

// The path of the key named by a handle and a subkey path below it.
LONG FullPath(Registry& registry, HKEY key, LPCSTR subKey, std::vector<std::string>& path) {
  if (!PathOfHandle(registry, key, path)) return ERROR_INVALID_HANDLE;
  std::vector<std::string> below;
  if (!SplitPath(subKey, below)) return ERROR_INVALID_PARAMETER;
  path.insert(path.end(), below.begin(), below.end());
  return ERROR_SUCCESS;
}

// Writes changed keys and brings the desktop in line with them.
LONG Commit(Store& store, const Key& root) {
  if (!store.Save(root)) return ERROR_ACCESS_DENIED;
  SyncDesktop(store.dataHome(), store.root());
  return ERROR_SUCCESS;
}

// Creates every missing key of the path; the keys of the handle itself must
// exist already.
Key* CreatePath(Key& root, const std::vector<std::string>& base, const std::vector<std::string>& path, bool& created) {
  Key* key = root.Walk(base);
  if (key == nullptr) return nullptr;
  for (size_t i = base.size(); i < path.size(); ++i) key = &key->Child(path[i], created);
  return key;
}

LONG CreateAndSet(HKEY hKey, LPCSTR lpSubKey, const std::string* value, PHKEY phkResult) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.mutex);
  std::vector<std::string> base, path;
  if (!PathOfHandle(registry, hKey, base)) return ERROR_INVALID_HANDLE;
  if (LONG result = FullPath(registry, hKey, lpSubKey, path); result != ERROR_SUCCESS) return result;
  Store& store = registry.TheStore();
  StoreLock lock(store.folder(), true);
  if (!lock.ok() || !store.Refresh()) return ERROR_ACCESS_DENIED;

  Key root = store.root();
  bool changed = false;
  Key* key = CreatePath(root, base, path, changed);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  if (value != nullptr && key->value != *value) {
    key->value = *value;
    changed = true;
  }
  if (changed) {
    if (LONG result = Commit(store, root); result != ERROR_SUCCESS) return result;
  } else if (value != nullptr) {
    // Setting a value again mirrors the keys again, so registering anew
    // repairs desktop files that were lost or removed meanwhile.
    SyncDesktop(store.dataHome(), store.root());
  }
  if (phkResult != nullptr) *phkResult = NewHandle(registry, path);
  return ERROR_SUCCESS;
}

// Runs a call that only reads the keys; the lock guards the read of a store
// that another process may be replacing or moving aside.
template <typename Read>
LONG ReadKey(HKEY hKey, LPCSTR lpSubKey, Read read) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.mutex);
  std::vector<std::string> path;
  if (LONG result = FullPath(registry, hKey, lpSubKey, path); result != ERROR_SUCCESS) return result;
  Store& store = registry.TheStore();
  StoreLock lock(store.folder(), false);
  if (!lock.ok() || !store.Refresh()) return ERROR_ACCESS_DENIED;
  const Key* key = store.root().Walk(path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  return read(registry, path, *key);
}

}  // namespace
}  // namespace platform::registry

using platform::registry::Key;
using platform::registry::Registry;

LONG RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return platform::registry::CreateAndSet(hKey, lpSubKey, nullptr, phkResult);
}

LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return platform::registry::ReadKey(hKey, lpSubKey,
                                     [&](Registry& registry, const std::vector<std::string>& path, const Key&) {
                                       *phkResult = platform::registry::NewHandle(registry, path);
                                       return LONG(ERROR_SUCCESS);
                                     });
}

LONG RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD /*cbData*/) {
  // As on the platform, the size is not used: the value is the text up to
  // its terminating NUL.
  if (dwType != REG_SZ || lpData == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string value = lpData;
  if (!platform::registry::IsUtf8(value)) return ERROR_INVALID_PARAMETER;
  return platform::registry::CreateAndSet(hKey, lpSubKey, &value, nullptr);
}

LONG RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData) {
  return platform::registry::ReadKey(hKey, lpSubKey, [&](Registry&, const std::vector<std::string>&, const Key& key) {
    // A key without a value reads as empty text, as on the platform.
    const std::string value = key.value.value_or(std::string());
    const LONG needed = LONG(value.size() + 1);
    if (lpData == nullptr) {
      if (lpcbData != nullptr) *lpcbData = needed;
      return LONG(ERROR_SUCCESS);
    }
    if (lpcbData == nullptr) return LONG(ERROR_INVALID_PARAMETER);
    if (*lpcbData < needed) {
      *lpcbData = needed;
      return LONG(ERROR_MORE_DATA);
    }
    std::memcpy(lpData, value.c_str(), size_t(needed));
    *lpcbData = needed;
    return LONG(ERROR_SUCCESS);
  });
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  return platform::registry::ReadKey(hKey, nullptr, [&](Registry&, const std::vector<std::string>&, const Key& key) {
    if (dwIndex >= key.subkeys.size()) return LONG(ERROR_NO_MORE_ITEMS);
    const std::string& name = key.subkeys[dwIndex].name;
    if (lpName == nullptr) return LONG(ERROR_INVALID_PARAMETER);
    if (cchName < name.size() + 1) return LONG(ERROR_MORE_DATA);
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    return LONG(ERROR_SUCCESS);
  });
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  using namespace platform::registry;
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.mutex);
  std::vector<std::string> path;
  if (LONG result = FullPath(registry, hKey, lpSubKey, path); result != ERROR_SUCCESS) return result;
  if (path.empty()) return ERROR_ACCESS_DENIED;  // the root itself
  Store& store = registry.TheStore();
  StoreLock lock(store.folder(), false);
  if (!lock.ok() || !store.Refresh()) return ERROR_ACCESS_DENIED;

  Key root = store.root();
  const std::vector<std::string> parentPath(path.begin(), path.end() - 1);
  Key* parent = root.Walk(parentPath);
  const Key* key = parent != nullptr ? parent->Find(path.back()) : nullptr;
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  if (!key->subkeys.empty()) return ERROR_ACCESS_DENIED;
  parent->Remove(path.back());
  return Commit(store, root);
}

LONG RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
  Registry& registry = platform::registry::TheRegistry();
  std::lock_guard<std::mutex> guard(registry.mutex);
  return registry.handles.erase(reinterpret_cast<ULONG_PTR>(hKey)) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

namespace platform::testing {

void ResetRegistry() {
  registry::Registry& registry = registry::TheRegistry();
  std::lock_guard<std::mutex> guard(registry.mutex);
  registry.store.reset();
  registry.handles.clear();
}

}  // namespace platform::testing
