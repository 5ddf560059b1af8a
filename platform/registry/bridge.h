// The desktop bridge: mirrors the file associations of the registry into the
// user's desktop database, where file managers look for them.
//
// An association is an extension key (".dsk") whose default value names a
// class key with at least one verb, "<class>\shell\<verb>\command", that has
// a command. For each, the bridge keeps under the data folder
//   mime/packages/varnel-<class>.xml           the MIME type and its globs,
//   applications/varnel-<class>-<verb>.desktop one entry per verb,
//   icons/hicolor/<size>/apps/varnel-<class>.png  the class icon, when the
//                                               icon is this program's own,
// and lists what it wrote in varnel/bridge.json, so that it removes exactly
// those files when the association goes.
#pragma once

#include <string>

#include "platform/registry/tree.h"

namespace platform::registry {

// Brings the files under dataHome in line with the associations among these
// keys. Only files whose contents change are written, and the desktop's
// database tools run only when a file they read changed.
void SyncDesktop(const std::string& dataHome, const Key& root);

// The Exec value, escaped for the desktop entry file, that runs a verb's
// command: "PROGRAM" "%1" word... False when the command names no program.
bool DesktopExec(const std::string& command, std::string& exec);

}  // namespace platform::registry
