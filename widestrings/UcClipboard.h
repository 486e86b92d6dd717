// The clipboard with wide text: CF_UNICODETEXT beside the class library's
// CF_TEXT.
#pragma once

#include "clipbrd.h"

class TUcClipboard : public TClipboard {
  CL_CLASS(TUcClipboard, TClipboard)
public:
  // CF_UNICODETEXT; when there is none (or it is empty), CF_TEXT widened
  // through the ANSI code page.
  WideString GetAsWideText();
  // Both formats within one opening: the ANSI form as CF_TEXT and the full
  // text as CF_UNICODETEXT.
  void SetAsWideText(const WideString& value);
};

// The process-wide instance, made on the first call.
TUcClipboard* UcClipboard();

void UnitInit_UcClipboard();
void UnitFini_UcClipboard();
