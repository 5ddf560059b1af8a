// Diagnostics of the layer. With VARNEL_TRACE=FILE set, every message sent to
// a window and every volume operation appends one line to FILE; unset, the
// checks cost one load of a flag.
#pragma once

#include <string>

namespace platform {

bool TraceEnabled();
// Appends one line, prefixed with the calling thread, to the trace file.
void TraceLine(const std::string& line);
// A short, stable name for the calling thread ("T1" is the first thread seen).
std::string ThreadName();
// "0x1a2b" for a pointer-sized value.
std::string Hex(unsigned long long value);

}  // namespace platform
