// A component that, while active, scales every control of its form by the
// form's change of size (left and width by the width ratio, top and height by
// the height ratio; buttons keep their size and only move).
#pragma once

#include "LibComponentBase.h"

#include "forms.h"

class TFormAutoSize : public TLibComponent {
  CL_CLASS(TFormAutoSize, TLibComponent)
public:
  // Hooks the resize event of the form that holds the owner.
  explicit TFormAutoSize(TComponent* owner);
  // Gives the form its own resize handler back (while the hook is still ours).
  ~TFormAutoSize() override;

  bool Active() const { return FActive; }
  void SetActive(bool value) { FActive = value; }
  TForm* Form() const { return FForm; }

  // The form's resize handler.
  void Resize(TObject* sender);
  void Notification(TComponent* component, TOperation operation) override;
  // A layout binds the form's own resize handler only after every component
  // of the form is made: the hook is put in front of it again here.
  void Loaded() override;

private:
  // The form the owner sits on (the owner itself when it is the form); null
  // when the owner is no control. EInvalidCast for a form that is not a TForm.
  TForm* FindForm();
  void SetForm(TForm* form);

  TForm* FForm = nullptr;
  bool FActive = false;
  TNotifyEvent FOldOnResize;
  int32_t FOldWidth = 0;
  int32_t FOldHeight = 0;
};

extern const TUnitVersionInfo FormAutoSizeVersionInfo;

void UnitInit_FormAutoSize();
void UnitFini_FormAutoSize();
