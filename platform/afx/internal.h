#pragma once

// Clears the window handle of every object whose window no longer exists.
void AfxDetachDestroyedWindows();
// Waits for every worker thread started with AfxBeginThread.
void AfxJoinWorkerThreads();
