// The export layer's place in the program's start-up.
#pragma once

// Registers the units of the layers below the export layer (the export layer
// itself keeps no process-wide state).
void RegisterExportUnits();
