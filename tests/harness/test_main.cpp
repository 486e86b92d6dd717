// The main of every test program: starts the units, runs the tests, ends them.
#include <gtest/gtest.h>

#include "units.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  StartUnits();
  int r = RUN_ALL_TESTS();
  FinishUnits();
  return r;
}
