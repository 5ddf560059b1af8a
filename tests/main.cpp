// Runs the tests inside the framework: the toolkit, the application object
// and message delivery are set up as for the program itself.
#include <gtest/gtest.h>

#include "platform/afx.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!AfxWinInit(argc, argv)) return 2;
  const int result = RUN_ALL_TESTS();
  AfxWinTerm();
  return result;
}
