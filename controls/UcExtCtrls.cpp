#include "UcExtCtrls.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComponentProps.h"
#include "UcWindows.h"

#include <utility>

#define UC_HINT_ONLY_CONTROL_BODY(TUcName, TBase)                            \
  CL_DEFINE_COMPONENT(TUcName, TBase)                                        \
  CL_BEGIN_MESSAGE_MAP(TUcName, TBase)                                       \
    CL_MESSAGE(CM_HINTSHOW, CMHintShow)                                      \
  CL_END_MESSAGE_MAP                                                         \
  UC_STANDARD_OVERRIDES_BODY(TUcName, TBase)                                 \
  void TUcName::CMHintShow(TMessage& m) {                                    \
    ProcessCMHintShowMsg(m);                                                 \
    InheritedMsg(&TBase::MessageMap, m);                                     \
  }

UC_HINT_ONLY_CONTROL_BODY(TUcBevel, TBevel)
UC_HINT_ONLY_CONTROL_BODY(TUcSplitter, TSplitter)
UC_HINT_ONLY_CONTROL_BODY(TUcShape, TShape)
UC_HINT_ONLY_CONTROL_BODY(TUcPaintBox, TPaintBox)

CL_DEFINE_COMPONENT(TUcImage, TImage)
CL_DEFINE_COMPONENT(TUcCustomPanel, TCustomPanel)
CL_DEFINE_COMPONENT(TUcPanel, TUcCustomPanel)
CL_DEFINE_COMPONENT(TUcCustomControlBar, TCustomControlBar)
CL_DEFINE_COMPONENT(TUcControlBar, TUcCustomControlBar)
CL_DEFINE_CLASS(TUcGroupButton, TUcRadioButton)
CL_DEFINE_COMPONENT(TUcCustomRadioGroup, TUcCustomGroupBox)
CL_DEFINE_COMPONENT(TUcRadioGroup, TUcCustomRadioGroup)
CL_DEFINE_COMPONENT(TUcBoundLabel, TUcCustomLabel)
CL_DEFINE_COMPONENT(TUcCustomLabeledEdit, TUcCustomEdit)
CL_DEFINE_COMPONENT(TUcLabeledEdit, TUcCustomLabeledEdit)

// ===========================================================================
// TUcImage

CL_BEGIN_MESSAGE_MAP(TUcImage, TImage)
  CL_MESSAGE(CM_HINTSHOW, CMHintShow)
CL_END_MESSAGE_MAP

TUcImage::TUcImage(TComponent* owner) : TImage(owner) {
  TPicture*& picture = PictureObject();
  auto* wide = new TUcPicture();
  wide->OnChange = picture->OnChange;
  delete picture;
  picture = wide;
}

TUcPicture* TUcImage::Picture() const { return static_cast<TUcPicture*>(TImage::Picture()); }

void TUcImage::CMHintShow(TMessage& m) {
  ProcessCMHintShowMsg(m);
  InheritedMsg(&TImage::MessageMap, m);
}

UC_STANDARD_OVERRIDES_BODY(TUcImage, TImage)

// ===========================================================================
// TUcCustomPanel

void TUcCustomPanel::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, L""); }

void TUcCustomPanel::Paint() {
  if (!Win32PlatformIsUnicode) {
    TCustomPanel::Paint();
    return;
  }
  TCanvas* canvas = Canvas();
  TRect rect = ClientRect();
  auto bevel = [&](TPanelBevel kind) {
    if (kind == bvNone) return;
    TColor top = clBtnHighlight, bottom = clBtnShadow;
    if (kind == bvLowered) std::swap(top, bottom);
    Frame3D(canvas, rect, top, bottom, FBevelWidth);
  };
  bevel(FBevelOuter);
  Frame3D(canvas, rect, Color(), Color(), BorderWidth());
  bevel(FBevelInner);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(rect);
  canvas->Brush()->SetStyle(bsClear);
  canvas->SetFont(Font());
  const int h = WideCanvasTextHeight(canvas, L"W");
  rect.top = (rect.top + rect.bottom - h) / 2;
  rect.bottom = rect.top + h;
  static const UINT alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  UINT flags = static_cast<UINT>(DrawTextBiDiModeFlags(DT_EXPANDTABS | DT_VCENTER | alignments[FAlignment]));
  WideString caption = Caption();
  canvas->RequiredState(csAllValid);
  Uc_DrawTextW(canvas->Handle(), caption.c_str(), -1, &rect, flags);
}

UC_STANDARD_OVERRIDES_BODY(TUcCustomPanel, TCustomPanel)

// ===========================================================================
// TUcCustomControlBar

void TUcCustomControlBar::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, L""); }

UC_STANDARD_OVERRIDES_BODY(TUcCustomControlBar, TCustomControlBar)

// ===========================================================================
// TUcGroupButton

CL_BEGIN_MESSAGE_MAP(TUcGroupButton, TUcRadioButton)
  CL_MESSAGE(CN_COMMAND, CNCommand)
CL_END_MESSAGE_MAP

TUcGroupButton::TUcGroupButton(TUcCustomRadioGroup* radioGroup) : TUcRadioButton(nullptr), FGroup(radioGroup) {
  radioGroup->FButtons->Add(this);
  SetVisible(false);
  SetEnabled(radioGroup->Enabled());
  SetParentShowHint(false);
  OnClick = MakeEvent<&TUcCustomRadioGroup::ButtonClick>(radioGroup);
  SetParent(radioGroup);
}

TUcGroupButton::~TUcGroupButton() {
  if (FGroup) FGroup->FButtons->Remove(this);
}

void TUcGroupButton::CNCommand(TMessage& m) {
  if (FInClick) return;
  TScopedValue<bool> inClick(FInClick, true);
  WORD code = CmdNotify(m);
  if ((code == BN_CLICKED || code == BN_DOUBLECLICKED) && FGroup->CanModify())
    InheritedMsg(&TUcRadioButton::MessageMap, m);
}

void TUcGroupButton::KeyPress(char& key) {
  TUcRadioButton::KeyPress(key);
  FGroup->KeyPress(key);
  if ((key == 8 || key == ' ') && !FGroup->CanModify()) key = 0;
}

void TUcGroupButton::KeyDown(WORD& key, TShiftState shift) {
  TUcRadioButton::KeyDown(key, shift);
  FGroup->KeyDown(key, shift);
}

// ===========================================================================
// TUcCustomRadioGroup

CL_BEGIN_MESSAGE_MAP(TUcCustomRadioGroup, TUcCustomGroupBox)
  CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
  CL_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged)
  CL_MESSAGE(WM_SIZE, WMSize)
CL_END_MESSAGE_MAP

TUcCustomRadioGroup::TUcCustomRadioGroup(TComponent* owner)
    : TUcCustomGroupBox(owner), FButtons(new TList()), FItems(new TUcStringList()) {
  FControlStyle = csSetCaption | csDoubleClicks;
  FItems->OnChange = MakeEvent<&TUcCustomRadioGroup::ItemsChange>(this);
}

TUcCustomRadioGroup::~TUcCustomRadioGroup() {
  SetButtonCount(0);
  FItems->OnChange.Clear();
  delete FItems;
  delete FButtons;
}

void TUcCustomRadioGroup::SetColumns(int value) {
  if (value < 1) value = 1;
  if (value > 16) value = 16;
  if (value == FColumns) return;
  FColumns = value;
  ArrangeButtons();
  Invalidate();
}

void TUcCustomRadioGroup::SetItemIndex(int value) {
  if (FReading) {
    FItemIndex = value;
    return;
  }
  if (value < -1) value = -1;
  if (value >= FButtons->Count()) value = FButtons->Count() - 1;
  if (value == FItemIndex) return;
  if (FItemIndex >= 0) Buttons(FItemIndex)->SetChecked(false);
  FItemIndex = value;
  if (FItemIndex >= 0) Buttons(FItemIndex)->SetChecked(true);
}

void TUcCustomRadioGroup::SetButtonCount(int value) {
  while (FButtons->Count() < value) new TUcGroupButton(this);
  while (FButtons->Count() > value) delete Buttons(FButtons->Count() - 1);
}

void TUcCustomRadioGroup::ItemsChange(TObject*) {
  if (FReading) return;
  if (FItemIndex >= FItems->Count()) FItemIndex = FItems->Count() - 1;
  UpdateButtons();
}

void TUcCustomRadioGroup::UpdateButtons() {
  SetButtonCount(FItems->Count());
  for (int i = 0; i < FButtons->Count(); ++i) Buttons(i)->SetCaption(FItems->Get(i));
  if (FItemIndex >= 0) {
    TScopedValue<bool> updating(FUpdating, true);
    Buttons(FItemIndex)->SetChecked(true);
  }
  ArrangeButtons();
  Invalidate();
}

void TUcCustomRadioGroup::ButtonClick(TObject* sender) {
  if (FUpdating) return;
  FItemIndex = FButtons->IndexOf(sender);
  Changed();
  Click();
}

void TUcCustomRadioGroup::ArrangeButtons() {
  // Without a window there is nothing to place yet; its first size places them.
  if (FButtons->Count() == 0 || FReading || !HandleAllocated()) return;
  TEXTMETRICW metrics{};
  GetTextMetricsW(TScreenFontDC(Font()).Handle(), &metrics);
  const int count = FButtons->Count();
  const int perCol = (count + FColumns - 1) / FColumns;
  const int w = (Width() - 10) / FColumns;
  const int inner = Height() - metrics.tmHeight - 5;
  const int h = inner / perCol;
  const int topMargin = metrics.tmHeight + 1 + (inner % perCol) / 2;
  HDWP batch = BeginDeferWindowPos(count);
  for (int k = 0; k < count; ++k) {
    TUcGroupButton* button = Buttons(k);
    button->SetBiDiMode(BiDiMode());
    int left = (k / perCol) * w + 8;
    if (button->UseRightToLeftAlignment()) left = ClientWidth() - left - w;
    int top = (k % perCol) * h + topMargin;
    if (batch) batch = DeferWindowPos(batch, button->Handle(), nullptr, left, top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    button->SetVisible(true);
  }
  if (batch) EndDeferWindowPos(batch);
}

void TUcCustomRadioGroup::Loaded() {
  TUcCustomGroupBox::Loaded();
  ArrangeButtons();
}

void TUcCustomRadioGroup::ReadState(TReader* reader) {
  {
    TScopedValue<bool> reading(FReading, true);
    TUcCustomGroupBox::ReadState(reader);
  }
  UpdateButtons();
}

void TUcCustomRadioGroup::CMFontChanged(TMessage& m) {
  InheritedMsg(&TUcCustomGroupBox::MessageMap, m);
  ArrangeButtons();
}

void TUcCustomRadioGroup::CMEnabledChanged(TMessage& m) {
  InheritedMsg(&TUcCustomGroupBox::MessageMap, m);
  for (int i = 0; i < FButtons->Count(); ++i) Buttons(i)->SetEnabled(Enabled());
}

void TUcCustomRadioGroup::WMSize(TMessage& m) {
  InheritedMsg(&TUcCustomGroupBox::MessageMap, m);
  ArrangeButtons();
}

// ===========================================================================
// Labeled edit

TUcBoundLabel::TUcBoundLabel(TComponent* owner) : TUcCustomLabel(owner) {
  SetName("SubLabel");
  SetSubComponent(true);
  if (owner) SetCaption(AnsiToWide(owner->Name()));
}

void TUcBoundLabel::AdjustBounds() {
  TUcCustomLabel::AdjustBounds();
  if (TComponent* owner = Owner(); owner && owner->Is<TUcCustomLabeledEdit>()) {
    auto* edit = static_cast<TUcCustomLabeledEdit*>(owner);
    edit->SetLabelPosition(edit->LabelPosition());
  }
}

CL_BEGIN_MESSAGE_MAP(TUcCustomLabeledEdit, TUcCustomEdit)
  CL_MESSAGE(CM_VISIBLECHANGED, CMVisibleChanged)
  CL_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged)
  CL_MESSAGE(CM_BIDIMODECHANGED, CMBiDiModeChanged)
CL_END_MESSAGE_MAP

TUcCustomLabeledEdit::TUcCustomLabeledEdit(TComponent* owner) : TUcCustomEdit(owner) { SetupInternalLabel(); }

void TUcCustomLabeledEdit::SetupInternalLabel() {
  if (FEditLabel) return;
  FEditLabel = new TUcBoundLabel(this);
  FEditLabel->FreeNotification(this);
  FEditLabel->SetFocusControl(this);
}

void TUcCustomLabeledEdit::SetLabelPosition(TLabelPosition value) {
  FLabelPosition = value;
  if (!FEditLabel) return;
  int x = Left(), y = Top();
  switch (value) {
    case lpAbove:
      y = Top() - FEditLabel->Height() - FLabelSpacing;
      break;
    case lpBelow:
      y = Top() + Height() + FLabelSpacing;
      break;
    case lpLeft:
      x = Left() - FEditLabel->Width() - FLabelSpacing;
      y = Top() + (Height() - FEditLabel->Height()) / 2;
      break;
    case lpRight:
      x = Left() + Width() + FLabelSpacing;
      y = Top() + (Height() - FEditLabel->Height()) / 2;
      break;
  }
  FEditLabel->SetBounds(x, y, FEditLabel->Width(), FEditLabel->Height());
}

void TUcCustomLabeledEdit::SetLabelSpacing(int value) {
  FLabelSpacing = value;
  SetLabelPosition(FLabelPosition);
}

void TUcCustomLabeledEdit::SetBounds(int left, int top, int width, int height) {
  TUcCustomEdit::SetBounds(left, top, width, height);
  SetLabelPosition(FLabelPosition);
}

void TUcCustomLabeledEdit::SetParent(TWinControl* value) {
  TUcCustomEdit::SetParent(value);
  if (!FEditLabel) return;
  FEditLabel->SetParent(value);
  FEditLabel->SetVisible(true);
}

void TUcCustomLabeledEdit::SetName(const AnsiString& newName) {
  bool designing = (ComponentState() & csDesigning) != 0;
  if (designing && FEditLabel) {
    WideString caption = FEditLabel->Caption();
    if (caption.IsEmpty() || WideToAnsi(caption).UpperCase() == Name().UpperCase())
      FEditLabel->SetCaption(AnsiToWide(newName));
  }
  TUcCustomEdit::SetName(newName);
  if (designing) SetText(L"");
}

void TUcCustomLabeledEdit::Notification(TComponent* component, TOperation operation) {
  TUcCustomEdit::Notification(component, operation);
  if (component == FEditLabel && operation == opRemove) FEditLabel = nullptr;
}

void TUcCustomLabeledEdit::CMVisibleChanged(TMessage& m) {
  InheritedMsg(&TUcCustomEdit::MessageMap, m);
  if (FEditLabel) FEditLabel->SetVisible(Visible());
}

void TUcCustomLabeledEdit::CMEnabledChanged(TMessage& m) {
  InheritedMsg(&TUcCustomEdit::MessageMap, m);
  if (FEditLabel) FEditLabel->SetEnabled(Enabled());
}

void TUcCustomLabeledEdit::CMBiDiModeChanged(TMessage& m) {
  InheritedMsg(&TUcCustomEdit::MessageMap, m);
  if (FEditLabel) FEditLabel->SetBiDiMode(BiDiMode());
}

// ===========================================================================
// Unit

namespace {
template <class C> void RegisterWideHint() {
  RegisterProperty(&C::Class, "Hint", pkWideString, &C::SetHint, &C::Hint, TPropDefault(), &C::IsHintStored);
}
const char* const LabelPositionNames[] = {"lpAbove", "lpBelow", "lpLeft", "lpRight"};
}  // namespace

void UnitInit_UcExtCtrls() {
  RegisterClasses({&TUcBevel::Class, &TUcSplitter::Class, &TUcImage::Class, &TUcPanel::Class, &TUcLabeledEdit::Class,
                   &TUcShape::Class, &TUcPaintBox::Class, &TUcControlBar::Class, &TUcRadioGroup::Class});
  RegisterWideHint<TUcShape>();
  RegisterWideHint<TUcPaintBox>();
  RegisterWideHint<TUcCustomControlBar>();
  RegisterProperty(&TUcCustomRadioGroup::Class, "Columns", pkInteger, &TUcCustomRadioGroup::SetColumns,
                   &TUcCustomRadioGroup::Columns);
  RegisterProperty(&TUcCustomRadioGroup::Class, "ItemIndex", pkInteger, &TUcCustomRadioGroup::SetItemIndex,
                   &TUcCustomRadioGroup::ItemIndex);
  RegisterWideHint<TUcBevel>();
  RegisterWideHint<TUcSplitter>();
  RegisterWideHint<TUcImage>();
  RegisterWideHint<TUcCustomPanel>();
  RegisterProperty(&TUcCustomPanel::Class, "Caption", pkWideString, &TUcCustomPanel::SetCaption,
                   &TUcCustomPanel::Caption, TPropDefault(), &TUcCustomPanel::IsCaptionStored);
  RegisterProperty(&TUcCustomLabeledEdit::Class, "LabelPosition", TPropType::Enum(LabelPositionNames),
                   &TUcCustomLabeledEdit::SetLabelPosition, &TUcCustomLabeledEdit::LabelPosition);
  RegisterProperty(&TUcCustomLabeledEdit::Class, "LabelSpacing", pkInteger, &TUcCustomLabeledEdit::SetLabelSpacing,
                   &TUcCustomLabeledEdit::LabelSpacing);
}

void UnitFini_UcExtCtrls() {}
