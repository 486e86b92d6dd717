// Standard actions with wide captions and hints. Of the family this program
// needs only the hint action, which the application hook of the Unicode
// layer executes in place of the class library's.
#pragma once

#include "UcActnList.h"

class TUcHintAction : public TUcActionTexts<THintAction> {
  CL_CLASS(TUcHintAction, THintAction)
public:
  using TUcActionTexts<THintAction>::TUcActionTexts;
};
