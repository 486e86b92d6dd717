#include "UcComCtrls.h"

#include "UcCodePages.h"

// ===========================================================================
// Common-control windows

void CreateUnicodeHandle_ComCtl(TWinControl* control, const TCreateParams& params, const WideString& subClass) {
  if (subClass.IsEmpty())
    throw EUcInternalError("UC Internal Error: Only call CreateUnicodeHandle_ComCtl for Common Controls.");
  CreateUnicodeHandle(control, params, subClass);
  if (Win32PlatformIsUnicode && control->HandleAllocated())
    SendMessageW(control->WindowHandle(), CCM_SETUNICODEFORMAT, 1, 0);
}
