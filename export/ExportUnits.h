// The export layer's place in the program's start-up.
#pragma once

// Registers the units of the layers below the export layer; the export layer
// has no units of its own (its dialogs belong to the main window's layer).
void RegisterExportUnits();
