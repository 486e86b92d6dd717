#include "ZipUnits.h"

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
  RegisterUnits(ZipUnitTable, ZipUnitCount);
}
