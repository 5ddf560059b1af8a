// File operations the registry and the desktop bridge share: the user's data
// folder, whole-file reads, atomic replacement, and running the desktop's
// database tools.
#pragma once

#include <string>
#include <vector>

namespace platform::registry {

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share, as the
// freedesktop.org's base directory rules say.
std::string DataHome();

enum class ReadResult { ok, absent, failed };
ReadResult ReadWholeFile(const std::string& path, std::string& bytes);

// Creates the folder and every missing folder above it.
bool MakeFolders(const std::string& path);

// Replaces the file with these bytes through a temporary file in the same
// folder and a rename, so a reader sees the old or the new file, never a
// part. Durable: the data and the rename reach the disk before the return.
bool ReplaceFile(const std::string& path, const std::string& bytes, bool durable, unsigned mode = 0644);

// Moves a file that cannot be read aside under a new name beside it
// (".broken-" and the time), so that nothing overwrites it, and reports it on
// standard error as `what`. False when it could not be moved.
bool MoveAside(const std::string& path, const std::string& what, const std::string& reason);

// The full path of a program on PATH, or "" when it is not installed.
std::string FindProgram(const std::string& name);

// Runs the program with these arguments, without a shell, with its standard
// streams on /dev/null, and waits for it at most timeoutMs; a program still
// running then is killed. True when it ran and exited with 0.
bool RunProgram(const std::string& program, const std::vector<std::string>& arguments, int timeoutMs);

}  // namespace platform::registry
