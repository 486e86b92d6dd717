// The main of every test program: starts the units, runs the tests, ends them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "units.h"

int main(int argc, char** argv) {
  // "--append-argument FILE TEXT": the program stands in for a handler the
  // system starts (a browser for web addresses) and records what it was given.
  if (argc == 4 && std::strcmp(argv[1], "--append-argument") == 0) {
    FILE* f = std::fopen(argv[2], "ab");
    if (!f) return 1;
    std::fprintf(f, "%s\n", argv[3]);
    std::fclose(f);
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  StartUnits();
  int r = RUN_ALL_TESTS();
  FinishUnits();
  return r;
}
