#include "CryptoUnits.h"

#include "Zfcipher.h"
#include "Zfdecutil.h"
#include "Zfhash.h"
#include "Zfsha1.h"

// The utilities first, then the descriptor registry before SHA-1 registers
// into it, then the class registries.
const TUnitEntry CryptoUnitTable[] = {
    {"Zfdecutil", &UnitInit_Zfdecutil, &UnitFini_Zfdecutil},
    {"Zfhash", &UnitInit_Zfhash, &UnitFini_Zfhash},
    {"Zfsha1", &UnitInit_Zfsha1, &UnitFini_Zfsha1},
    {"Zfcipher", &UnitInit_Zfcipher, &UnitFini_Zfcipher},
};

const size_t CryptoUnitCount = sizeof CryptoUnitTable / sizeof CryptoUnitTable[0];

void RegisterCryptoUnits() { RegisterUnits(CryptoUnitTable, CryptoUnitCount); }
