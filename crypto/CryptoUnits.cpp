#include "CryptoUnits.h"

#include "Zecipher.h"
#include "Zecryptutil.h"
#include "Zehash.h"
#include "Zesha1.h"

// The utilities first, then the descriptor registry before SHA-1 registers
// into it, then the class registries.
const TUnitEntry CryptoUnitTable[] = {
    {"Zecryptutil", &UnitInit_Zecryptutil, &UnitFini_Zecryptutil},
    {"Zehash", &UnitInit_Zehash, &UnitFini_Zehash},
    {"Zesha1", &UnitInit_Zesha1, &UnitFini_Zesha1},
    {"Zecipher", &UnitInit_Zecipher, &UnitFini_Zecipher},
};

const size_t CryptoUnitCount = sizeof CryptoUnitTable / sizeof CryptoUnitTable[0];

void RegisterCryptoUnits() { RegisterUnits(CryptoUnitTable, CryptoUnitCount); }
