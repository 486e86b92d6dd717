// The extra controls with wide texts: the panel with a wide caption, the
// image with a wide hint and a picture that loads by wide file names, the
// labeled edit with its bound label, and the controls that only gain a wide
// hint.
#pragma once

#include "extctrls.h"

#include "UcControls.h"
#include "UcGraphics.h"
#include "UcStdCtrls.h"

// The standard wide members of a control whose only wide text is its hint.
#define UC_HINT_ONLY_CONTROL(TUcName, TBase)                             \
  class TUcName : public TBase {                                         \
    CL_CLASS(TUcName, TBase)                                             \
    CL_DECLARE_MESSAGE_MAP(TUcName)                                      \
  public:                                                                \
    explicit TUcName(TComponent* owner) : TBase(owner) {}                \
    UC_WIDE_HINT_MEMBERS                                                 \
    UC_STANDARD_OVERRIDES                                                \
                                                                         \
  protected:                                                             \
    void CMHintShow(TMessage& m);                                        \
  };

UC_HINT_ONLY_CONTROL(TUcBevel, TBevel)
UC_HINT_ONLY_CONTROL(TUcSplitter, TSplitter)
UC_HINT_ONLY_CONTROL(TUcShape, TShape)
UC_HINT_ONLY_CONTROL(TUcPaintBox, TPaintBox)

class TUcImage : public TImage {
  CL_CLASS(TUcImage, TImage)
  CL_DECLARE_MESSAGE_MAP(TUcImage)
public:
  // The picture becomes a TUcPicture that reports its changes as the old did.
  explicit TUcImage(TComponent* owner);

  UC_WIDE_HINT_MEMBERS
  TUcPicture* Picture() const;
  TUcPicture* GetPicture() const { return Picture(); }
  void SetPicture(TPicture* value) { TImage::SetPicture(value); }

  UC_STANDARD_OVERRIDES

protected:
  void CMHintShow(TMessage& m);
};

class TUcCustomPanel : public TCustomPanel {
  CL_CLASS(TUcCustomPanel, TCustomPanel)
public:
  explicit TUcCustomPanel(TComponent* owner) : TCustomPanel(owner) {}

  UC_WIDE_CAPTION_MEMBERS
  UC_WIDE_WINDOW_MEMBERS
  // Bevels, border, fill, then the wide caption centred on the height of "W".
  void Paint() override;
};

class TUcPanel : public TUcCustomPanel {
  CL_CLASS(TUcPanel, TUcCustomPanel)
public:
  explicit TUcPanel(TComponent* owner) : TUcCustomPanel(owner) {}
};

class TUcCustomControlBar : public TCustomControlBar {
  CL_CLASS(TUcCustomControlBar, TCustomControlBar)
public:
  explicit TUcCustomControlBar(TComponent* owner) : TCustomControlBar(owner) {}

  UC_WIDE_WINDOW_MEMBERS
};

class TUcControlBar : public TUcCustomControlBar {
  CL_CLASS(TUcControlBar, TUcCustomControlBar)
public:
  explicit TUcControlBar(TComponent* owner) : TUcCustomControlBar(owner) {}
};

// ---------------------------------------------------------------------------
// Radio group

class TUcCustomRadioGroup;

// One radio button of a radio group; the group decides about every click.
class TUcGroupButton : public TUcRadioButton {
  CL_CLASS(TUcGroupButton, TUcRadioButton)
  CL_DECLARE_MESSAGE_MAP(TUcGroupButton)
public:
  explicit TUcGroupButton(TUcCustomRadioGroup* radioGroup);
  ~TUcGroupButton() override;

protected:
  void KeyPress(char& key) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void CNCommand(TMessage& m);

private:
  TUcCustomRadioGroup* FGroup;
  bool FInClick = false;
};

// A group box of radio buttons made from its wide items, in columns.
class TUcCustomRadioGroup : public TUcCustomGroupBox {
  CL_CLASS(TUcCustomRadioGroup, TUcCustomGroupBox)
  CL_DECLARE_MESSAGE_MAP(TUcCustomRadioGroup)
public:
  explicit TUcCustomRadioGroup(TComponent* owner);
  ~TUcCustomRadioGroup() override;

  TUcStrings* Items() const { return FItems; }
  void SetItems(TUcStrings* value) { FItems->Assign(value); }
  // 1 to 16 (other values are clamped).
  int Columns() const { return FColumns; }
  void SetColumns(int value);
  // -1 (none) to the last item (other values are clamped).
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int value);
  TUcGroupButton* Buttons(int index) const { return static_cast<TUcGroupButton*>(FButtons->Items(index)); }
  int ButtonCount() const { return FButtons->Count(); }
  // Whether a click may change the choice.
  virtual bool CanModify() { return true; }

  void Loaded() override;

protected:
  friend class TUcGroupButton;
  void ReadState(TReader* reader) override;
  void SetButtonCount(int value);
  void ItemsChange(TObject* sender);
  void UpdateButtons();
  void ButtonClick(TObject* sender);
  // Columns of equal width; the rows share the height below the caption.
  void ArrangeButtons();
  void CMFontChanged(TMessage& m);
  void CMEnabledChanged(TMessage& m);
  void WMSize(TMessage& m);

  TList* FButtons;
  TUcStringList* FItems;
  int FItemIndex = -1;
  int FColumns = 1;
  bool FReading = false;
  bool FUpdating = false;
};

class TUcRadioGroup : public TUcCustomRadioGroup {
  CL_CLASS(TUcRadioGroup, TUcCustomRadioGroup)
public:
  explicit TUcRadioGroup(TComponent* owner) : TUcCustomRadioGroup(owner) {}
};

// ---------------------------------------------------------------------------
// Labeled edit

enum TLabelPosition : uint8_t { lpAbove, lpBelow, lpLeft, lpRight };

class TUcCustomLabeledEdit;

// The label of a labeled edit ("SubLabel", a sub-component of the edit).
class TUcBoundLabel : public TUcCustomLabel {
  CL_CLASS(TUcBoundLabel, TUcCustomLabel)
public:
  explicit TUcBoundLabel(TComponent* owner);

protected:
  // A label that sized itself moves to its place beside the edit.
  void AdjustBounds() override;
};

class TUcCustomLabeledEdit : public TUcCustomEdit {
  CL_CLASS(TUcCustomLabeledEdit, TUcCustomEdit)
  CL_DECLARE_MESSAGE_MAP(TUcCustomLabeledEdit)
public:
  explicit TUcCustomLabeledEdit(TComponent* owner);

  TUcBoundLabel* EditLabel() const { return FEditLabel; }
  TLabelPosition LabelPosition() const { return FLabelPosition; }
  // Places the label: above and below at the edit's left, left and right
  // centred on the edit's height; LabelSpacing pixels away. It keeps its size.
  void SetLabelPosition(TLabelPosition value);
  int LabelSpacing() const { return FLabelSpacing; }
  void SetLabelSpacing(int value);

  void SetBounds(int left, int top, int width, int height) override;
  void SetParent(TWinControl* value) override;
  void SetName(const AnsiString& newName) override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  void SetupInternalLabel();
  void CMVisibleChanged(TMessage& m);
  void CMEnabledChanged(TMessage& m);
  void CMBiDiModeChanged(TMessage& m);

  TUcBoundLabel* FEditLabel = nullptr;
  TLabelPosition FLabelPosition = lpAbove;
  int FLabelSpacing = 3;
};

class TUcLabeledEdit : public TUcCustomLabeledEdit {
  CL_CLASS(TUcLabeledEdit, TUcCustomLabeledEdit)
public:
  explicit TUcLabeledEdit(TComponent* owner) : TUcCustomLabeledEdit(owner) {}
};

void UnitInit_UcExtCtrls();
void UnitFini_UcExtCtrls();
