// The common controls with wide texts: the Unicode window every common
// control of this layer is made with, and (through UcTreeView.h and
// UcListView.h) the tree view and the list view, so that a user of the wide
// common controls includes one header.
#pragma once

#include "comctrls.h"

#include "UcControls.h"
#include "UcListView.h"
#include "UcSysUtils.h"
#include "UcTreeView.h"

#include <windows.h>

// The Unicode window of a common control: like CreateUnicodeHandle, but the
// system class must be named (EUcInternalError "UC Internal Error: Only call
// CreateUnicodeHandle_ComCtl for Common Controls." otherwise), and the new
// window is told to notify in wide form (CCM_SETUNICODEFORMAT).
void CreateUnicodeHandle_ComCtl(TWinControl* control, const TCreateParams& params, const WideString& subClass);
