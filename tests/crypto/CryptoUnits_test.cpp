#include "CryptoUnits.h"

#include <gtest/gtest.h>

#include "harness.h"

static TestUnits CryptoTestUnits(CryptoUnitTable, CryptoUnitCount);

TEST(CryptoUnits, AllStartedInOrder) {
  for (size_t i = 0; i < CryptoUnitCount; ++i) EXPECT_TRUE(UnitStarted(CryptoUnitTable[i].Name));
  RegisterCryptoUnits();  // a second registration changes nothing
  EXPECT_TRUE(UnitStarted("Zecipher"));
}
