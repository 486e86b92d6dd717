#include "UcStdActns.h"

#include "UcComponentProps.h"

CL_DEFINE_COMPONENT(TUcHintAction, THintAction)

bool TUcHintAction::GetInterface(const GUID& iid, void** obj) {
  if (IsEqualGUID(iid, IID_IUcAction)) {
    if (obj) *obj = static_cast<IUcAction*>(this);
    return true;
  }
  return THintAction::GetInterface(iid, obj);
}

void TUcHintAction::DefineProperties(TFiler* filer) {
  THintAction::DefineProperties(filer);
  UcPersistent_AfterInherited_DefineProperties(filer, this);
}

void TUcHintAction::Assign(TPersistent* source) {
  THintAction::Assign(source);
  UcAction_AfterInherited_Assign(this, source);
}
