#include "WideStringsUnits.h"

#include "UcClipboard.h"
#include "UcCodePages.h"
#include "UcComponentProps.h"
#include "UcSysUtils.h"
#include "UcWindows.h"

const TUnitEntry WideStringsUnitTable[] = {
    {"UcCodePages", &UnitInit_UcCodePages, &UnitFini_UcCodePages},
    {"UcWindows", &UnitInit_UcWindows, &UnitFini_UcWindows},
    {"UcSysUtils", &UnitInit_UcSysUtils, &UnitFini_UcSysUtils},
    {"UcComponentProps", &UnitInit_UcComponentProps, &UnitFini_UcComponentProps},
    {"UcClipboard", &UnitInit_UcClipboard, &UnitFini_UcClipboard},
};

const size_t WideStringsUnitCount = sizeof WideStringsUnitTable / sizeof WideStringsUnitTable[0];

void RegisterWideStringsUnits() { RegisterUnits(WideStringsUnitTable, WideStringsUnitCount); }
