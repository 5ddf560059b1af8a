// The store of the registry: one file, $XDG_DATA_HOME/varnel/registry.json,
// shared by every Varnel process of the user.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/registry/tree.h"

namespace platform::registry {

// The advisory lock that keeps the read-modify-write of one process apart
// from another's (registry.lock beside the store). Without create, a missing
// folder is left alone: there is no store to guard then.
class StoreLock {
 public:
  StoreLock(const std::string& folder, bool create);
  ~StoreLock();
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  // False when the lock was needed but could not be taken.
  bool ok() const { return m_ok; }

 private:
  int m_fd = -1;
  bool m_ok = false;
};

class Store {
 public:
  explicit Store(std::string dataHome);

  const std::string& dataHome() const { return m_dataHome; }
  std::string folder() const { return m_dataHome + "/varnel"; }
  std::string path() const { return folder() + "/registry.json"; }

  // Under the lock: re-reads the file when it is not the one last read or
  // written. A file that cannot be parsed is moved aside and reported, and
  // the keys start empty. False when the file exists but cannot be read;
  // changes are refused then, so that it is not overwritten.
  bool Refresh();
  const Key& root() const { return m_root; }
  // Under the lock: writes these keys as the new store.
  bool Save(const Key& root);

 private:
  struct Stamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modified = 0;
    long long changed = 0;
    bool operator==(const Stamp& other) const;
  };
  bool StampOf(Stamp& stamp) const;

  std::string m_dataHome;
  Key m_root;
  Stamp m_stamp;
};

}  // namespace platform::registry
