// The extended combo box (system ComboBoxEx32): a combo box whose items carry
// an image and an indent, drawn by the system from an image list.
#pragma once

#include "imglist.h"
#include "stdctrls_lists.h"

class TCustomComboBoxEx;

// The items of an extended combo box: CBEM_ item messages instead of the
// plain combo box's CB_ ones.
class TComboBoxExStrings : public TComboBoxStrings {
  CL_CLASS(TComboBoxExStrings, TComboBoxStrings)
public:
  explicit TComboBoxExStrings(TCustomComboBoxEx* combo);
  AnsiString Get(int index) override;
  TObject* GetObject(int index) override;
  void PutObject(int index, TObject* obj) override;
  int Add(const AnsiString& s) override;
  // EOutOfResources when the window refuses the item.
  void Insert(int index, const AnsiString& s) override;
  void Delete(int index) override;
  int IndexOf(const AnsiString& s) override;
  // An item with its image (-1: none), selected image and indent.
  int AddItem(const AnsiString& caption, int imageIndex, int selectedImageIndex = -1, int indent = 0);
  int ImageIndex(int index);
};

class TCustomComboBoxEx : public TCustomComboBox {
  CL_CLASS(TCustomComboBoxEx, TCustomComboBox)
public:
  explicit TCustomComboBoxEx(TComponent* owner);
  ~TCustomComboBoxEx() override;

  TComboBoxExStrings* ItemsEx() const { return static_cast<TComboBoxExStrings*>(FItems); }
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* v);
  void Notification(TComponent* component, TOperation operation) override;
  // The plain combo box inside the extended one.
  HWND ComboHandle();

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  const TMetaClass* GetActionLinkClass() override;

  TCustomImageList* FImages = nullptr;
};

class TComboBoxEx : public TCustomComboBoxEx {
  CL_CLASS(TComboBoxEx, TCustomComboBoxEx)
public:
  explicit TComboBoxEx(TComponent* owner) : TCustomComboBoxEx(owner) {}
};

// An extended combo box's link to an action; it adds nothing to the
// control's link.
class TComboBoxExActionLink : public TWinControlActionLink {
  CL_CLASS(TComboBoxExActionLink, TWinControlActionLink)
public:
  using TWinControlActionLink::TWinControlActionLink;
};

void UnitInit_comboex();
void UnitFini_comboex();
