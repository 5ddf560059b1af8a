// Message delivery inside the layer.
#pragma once

#include <functional>

#include "platform/win32.h"

namespace platform::ui {

// Runs on the user-interface thread. From then on sends from other threads are
// delivered by every event loop of that thread.
void StartDelivery();
// Answers every waiting and every later send from another thread with 0: the
// user-interface thread will run no more loops.
void StopDelivery();

}  // namespace platform::ui
