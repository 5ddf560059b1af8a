#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform::ui {

// A drop handle for these paths, released by DragFinish.
HDROP NewDrop(std::vector<std::string> paths);

}  // namespace platform::ui
