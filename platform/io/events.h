// Every file, volume and memory operation of the layer is reported here: to the
// trace file when VARNEL_TRACE is set and to a test's observer when one is
// installed.
#pragma once

#include <string>

#include "platform/win32/types.h"

namespace platform::io {

void Report(const std::string& op, HANDLE handle, const std::string& detail, bool ok);
bool Reporting();

}  // namespace platform::io
