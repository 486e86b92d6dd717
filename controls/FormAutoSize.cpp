#include "FormAutoSize.h"

#include "filer.h"
#include "stdctrls.h"

#include <cmath>

CL_DEFINE_COMPONENT(TFormAutoSize, TLibComponent)

const TUnitVersionInfo FormAutoSizeVersionInfo = {
    "$URL: lib/run/FormAutoSize $",
    "$Revision: 10612 $",
    "$Date: 2006-05-19 22:04:09 +0300 (Fri, 19 May 2006) $",
    "lib\\run",
    "",
    nullptr,
};

namespace {

// The floating-point unit's rounding: half to even.
int RoundHalfEven(long double value) { return static_cast<int>(std::llrint(value)); }

}  // namespace

TFormAutoSize::TFormAutoSize(TComponent* owner) : TLibComponent(owner) {
  SetForm(FindForm());
  if (FForm) {
    FOldWidth = FForm->Width();
    FOldHeight = FForm->Height();
    FOldOnResize = FForm->OnResize;
    FForm->OnResize = MakeEvent<&TFormAutoSize::Resize>(this);
  }
}

TFormAutoSize::~TFormAutoSize() {
  if (FForm) {
    if (FForm->OnResize == MakeEvent<&TFormAutoSize::Resize>(this)) FForm->OnResize = FOldOnResize;
    FForm->RemoveFreeNotification(this);
    FForm = nullptr;
  }
}

TForm* TFormAutoSize::FindForm() {
  TComponent* owner = Owner();
  if (!owner || !owner->Is<TControl>()) return nullptr;
  TControl* top = static_cast<TControl*>(owner);
  while (top->Parent()) top = top->Parent();
  if (!top->Is<TCustomForm>()) return nullptr;
  return top->As<TForm>();
}

void TFormAutoSize::SetForm(TForm* form) {
  if (FForm == form) return;
  if (FForm) FForm->RemoveFreeNotification(this);
  FForm = form;
  if (FForm) FForm->FreeNotification(this);
}

void TFormAutoSize::Notification(TComponent* component, TOperation operation) {
  TLibComponent::Notification(component, operation);
  if (operation == opRemove && component == FForm) FForm = nullptr;
}

void TFormAutoSize::Loaded() {
  TLibComponent::Loaded();
  TNotifyEvent mine = MakeEvent<&TFormAutoSize::Resize>(this);
  if (FForm && FForm->OnResize != mine) {
    FOldOnResize = FForm->OnResize;
    FForm->OnResize = mine;
  }
}

void TFormAutoSize::Resize(TObject* sender) {
  if (!FForm) SetForm(FindForm());
  if (FActive && FForm) {
    if (FOldWidth != 0 && FOldHeight != 0) {
      // The ratios in extended precision, kept as doubles; each product uses
      // the value the control has at that moment (a setter may realign others).
      double scaleX = static_cast<double>(static_cast<long double>(FForm->Width()) / FOldWidth);
      double scaleY = static_cast<double>(static_cast<long double>(FForm->Height()) / FOldHeight);
      for (int i = 0; i < FForm->ComponentCount(); ++i) {
        TComponent* c = FForm->Components(i);
        if (!c->Is<TControl>()) continue;
        auto* control = static_cast<TControl*>(c);
        if (!control->Is<TButton>()) {
          control->SetWidth(RoundHalfEven(static_cast<long double>(control->Width()) * scaleX));
          control->SetHeight(RoundHalfEven(static_cast<long double>(control->Height()) * scaleY));
        }
        control->SetLeft(RoundHalfEven(static_cast<long double>(control->Left()) * scaleX));
        control->SetTop(RoundHalfEven(static_cast<long double>(control->Top()) * scaleY));
      }
    }
    FOldWidth = FForm->Width();
    FOldHeight = FForm->Height();
  }
  if (FOldOnResize) FOldOnResize(sender);
}

void UnitInit_FormAutoSize() {
  RegisterUnitVersion(HInstance, FormAutoSizeVersionInfo);
  RegisterClass(&TFormAutoSize::Class);
  RegisterProperty(&TFormAutoSize::Class, "Active", pkBool, &TFormAutoSize::SetActive, &TFormAutoSize::Active, 0);
}

void UnitFini_FormAutoSize() { UnregisterUnitVersion(HInstance); }
