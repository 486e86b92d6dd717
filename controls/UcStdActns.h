// Standard actions with wide captions and hints. Of the family this program
// needs only the hint action, which the application hook of the Unicode
// layer executes in place of the class library's.
#pragma once

#include "UcActnList.h"

class TUcHintAction : public THintAction, public IUcAction {
  CL_CLASS(TUcHintAction, THintAction)
public:
  explicit TUcHintAction(TComponent* owner) : THintAction(owner) {}
  WideString Caption() { return UcAction_GetCaption(this); }
  void SetCaption(const WideString& value) { UcAction_SetCaption(this, value); }
  WideString Hint() { return UcAction_GetHint(this); }
  void SetHint(const WideString& value) { UcAction_SetHint(this, value); }
  bool GetInterface(const GUID& iid, void** obj) override;
  void DefineProperties(TFiler* filer) override;
  void Assign(TPersistent* source) override;
};
