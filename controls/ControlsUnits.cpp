#include "ControlsUnits.h"

#include "FormAutoSize.h"
#include "LibComponentBase.h"
#include "LibConsts.h"
#include "LibVer.h"
#include "UcActnList.h"
#include "UcButtons.h"
#include "UcControls.h"
#include "UcDialogs.h"
#include "UcFileDialogs.h"
#include "UcStdActns.h"
#include "UcExtCtrls.h"
#include "UcForms.h"
#include "UcListView.h"
#include "UcMenus.h"
#include "UcRichEdit.h"
#include "UcStdCtrls.h"
#include "UcTabs.h"
#include "UcToolWin.h"
#include "UcTreeView.h"
#include "UcStatusBar.h"
#include "UcPickers.h"
#include "UcStdCtrlsLists.h"
#include "UcMask.h"
#include "UnitVersioning.h"
#include "Zefolderdialog.h"
#include "WideStringsUnits.h"

// The registry first, the units that register their records after it (they
// end in reverse order); the control core before the forms and menus that
// use it.
const TUnitEntry ControlsUnitTable[] = {
    {"UnitVersioning", &UnitInit_UnitVersioning, &UnitFini_UnitVersioning},
    {"LibVer", &UnitInit_LibVer, &UnitFini_LibVer},
    {"LibConsts", &UnitInit_LibConsts, &UnitFini_LibConsts},
    {"LibComponentBase", &UnitInit_LibComponentBase, &UnitFini_LibComponentBase},
    {"FormAutoSize", &UnitInit_FormAutoSize, &UnitFini_FormAutoSize},
    {"UcControls", &UnitInit_UcControls, &UnitFini_UcControls},
    {"UcActnList", &UnitInit_UcActnList, &UnitFini_UcActnList},
    {"UcForms", &UnitInit_UcForms, &UnitFini_UcForms},
    {"UcMenus", &UnitInit_UcMenus, &UnitFini_UcMenus},
    {"UcTreeView", &UnitInit_UcTreeView, &UnitFini_UcTreeView},
    {"UcListView", &UnitInit_UcListView, &UnitFini_UcListView},
    {"UcStdCtrls", &UnitInit_UcStdCtrls, &UnitFini_UcStdCtrls},
    {"UcStdCtrlsLists", &UnitInit_UcStdCtrlsLists, &UnitFini_UcStdCtrlsLists},
    {"UcMask", &UnitInit_UcMask, &UnitFini_UcMask},
    {"UcRichEdit", &UnitInit_UcRichEdit, &UnitFini_UcRichEdit},
    {"UcButtons", &UnitInit_UcButtons, &UnitFini_UcButtons},
    {"UcExtCtrls", &UnitInit_UcExtCtrls, &UnitFini_UcExtCtrls},
    {"UcTabs", &UnitInit_UcTabs, &UnitFini_UcTabs},
    {"UcToolWin", &UnitInit_UcToolWin, &UnitFini_UcToolWin},
    {"UcStatusBar", &UnitInit_UcStatusBar, &UnitFini_UcStatusBar},
    {"UcPickers", &UnitInit_UcPickers, &UnitFini_UcPickers},
    {"UcDialogs", &UnitInit_UcDialogs, &UnitFini_UcDialogs},
    {"UcFileDialogs", &UnitInit_UcFileDialogs, &UnitFini_UcFileDialogs},
    {"UcStdActns", &UnitInit_UcStdActns, &UnitFini_UcStdActns},
    {"Zefolderdialog", &UnitInit_Zefolderdialog, &UnitFini_Zefolderdialog},
};

const size_t ControlsUnitCount = sizeof ControlsUnitTable / sizeof ControlsUnitTable[0];

void RegisterControlsUnits() {
  RegisterWideStringsUnits();
  RegisterUnits(ControlsUnitTable, ControlsUnitCount);
}
