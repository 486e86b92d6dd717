#include "ZipUnits.h"

#include "CryptoUnits.h"
#include "WideStringsUnits.h"
#include "ZEInflatePipe.h"
#include "ZipEngine.h"

const TUnitEntry ZipUnitTable[] = {
    {"ZipEngine", &UnitInit_ZipEngine, &UnitFini_ZipEngine},
    {"ZEInflatePipe", &UnitInit_ZEInflatePipe, &UnitFini_ZEInflatePipe},
};
const size_t ZipUnitCount = sizeof ZipUnitTable / sizeof ZipUnitTable[0];

void RegisterZipUnits() {
  RegisterWideStringsUnits();
  // AES items look the SHA-1 descriptor up in the cipher library's registry.
  RegisterCryptoUnits();
  RegisterUnits(ZipUnitTable, ZipUnitCount);
}
