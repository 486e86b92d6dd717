// The export layer's place in the program's start-up, and what its dialogs
// take from the main window (which lives in the layer above).
#pragma once

#include <cstdint>

#include "CoreHost.h"

// The texts of the localisation tables (null while there is no main window)
// and the font character set of the language; set by the main window's layer.
extern ICoreHost* (*ExportTextHost)();
extern uint8_t (*ExportCharset)();

// Registers the units of the export layer and of the layers below it.
void RegisterExportUnits();
