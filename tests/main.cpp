// Runs the tests inside the framework: the toolkit, the application object
// and message delivery are set up as for the program itself.
#include <gtest/gtest.h>

#include <QThreadPool>
#include <cstdlib>

#include "platform/afx.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  // The tests never need a display; ctest sets this too.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!AfxWinInit(argc, argv)) return 2;
  // The toolkit spreads image scaling over a pool of threads whose
  // synchronisation the thread sanitizer cannot see; with one thread its
  // reports are about our code alone.
  QThreadPool::globalInstance()->setMaxThreadCount(1);
  const int result = RUN_ALL_TESTS();
  AfxWinTerm();
  return result;
}
