#include "comctrls.h"

#include <algorithm>
#include <vector>

#include "actnlist.h"
#include "filer.h"
#include "forms.h"

CL_DEFINE_CLASS(TStatusPanel, TCollectionItem)
CL_DEFINE_CLASS(TStatusPanels, TCollection)
CL_DEFINE_COMPONENT(TStatusBar, TWinControl)
CL_DEFINE_COMPONENT(TProgressBar, TWinControl)

namespace {

// Sets a property's field; true when the value changed.
template <class T> bool ChangeField(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace

// ===========================================================================
// Status bar

void TStatusPanel::SetText(const AnsiString& value) {
  if (ChangeField(FText, value)) Changed(false);
}

void TStatusPanel::SetWidth(int value) {
  if (ChangeField(FWidth, value)) Changed(true);
}

void TStatusPanel::SetAlignment(TAlignment value) {
  if (ChangeField(FAlignment, value)) Changed(false);
}

void TStatusPanel::SetBevel(TStatusPanelBevel value) {
  if (ChangeField(FBevel, value)) Changed(false);
}

void TStatusPanel::SetStyle(TStatusPanelStyle value) {
  if (ChangeField(FStyle, value)) Changed(false);
}

void TStatusPanel::Assign(TPersistent* source) {
  if (source && source->Is<TStatusPanel>()) {
    auto* src = static_cast<TStatusPanel*>(source);
    FText = src->FText;
    FWidth = src->FWidth;
    FAlignment = src->FAlignment;
    FBevel = src->FBevel;
    FStyle = src->FStyle;
    Changed(true);
    return;
  }
  TCollectionItem::Assign(source);
}

TStatusPanels::TStatusPanels(TStatusBar* owner, const TMetaClass* itemClass, TCollectionItemFactory factory)
    : TCollection(itemClass, factory, owner), FStatusBar(owner) {}

void TStatusPanels::Update(TCollectionItem* item) {
  if (item)
    FStatusBar->UpdatePanel(item->Index());
  else
    FStatusBar->UpdatePanels();
}

CL_BEGIN_MESSAGE_MAP(TStatusBar, TWinControl)
  CL_MESSAGE(CN_DRAWITEM, CNDrawItem)
CL_END_MESSAGE_MAP

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner) {
  FControlStyle = csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque;
  FColor = clBtnFace;
  FParentColor = false;
  FBrush->SetColor(clBtnFace);
  SetBounds(0, 0, 150, 19);
  FPanels = new TStatusPanels(this);
  FCanvas = new TControlCanvas();
  FCanvas->SetControl(this);
  SetAlign(alBottom);
}

TStatusBar::~TStatusBar() {
  Destroying();
  if (HandleAllocated()) DestroyHandle();
  delete FPanels;
  FPanels = nullptr;
  delete FCanvas;
}

TCanvas* TStatusBar::Canvas() const { return FCanvas; }

void TStatusBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, STATUSCLASSNAMEA);
  // The library places the bar itself (Align), not the control.
  params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NOMOVEY;
  if (FSizeGrip && FParent && FParent->Is<TCustomForm>()) {
    TFormBorderStyle bs = static_cast<TCustomForm*>(FParent)->BorderStyle();
    if (bs == bsSizeable || bs == bsSizeToolWin) params.Style |= SBARS_SIZEGRIP;
  }
}

void TStatusBar::CreateWnd() {
  TWinControl::CreateWnd();
  UpdatePanels();
}

void TStatusBar::UpdatePanels() {
  if (!HandleAllocated() || !FPanels) return;
  SendMessageA(FHandle, SB_SIMPLE, FSimplePanel ? 1 : 0, 0);
  SendMessageA(FHandle, SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
  int count = FPanels->Count();
  std::vector<int> rights(std::max(count, 1));
  int x = 0;
  for (int i = 0; i < count; ++i) {
    x += FPanels->Items(i)->Width();
    rights[i] = x;
  }
  rights.back() = -1;  // the last part reaches the right edge
  SendMessageA(FHandle, SB_SETPARTS, rights.size(), reinterpret_cast<LPARAM>(rights.data()));
  for (int i = 0; i < count; ++i) UpdatePanel(i);
}

void TStatusBar::UpdatePanel(int index) {
  if (!HandleAllocated() || index < 0 || index >= FPanels->Count()) return;
  TStatusPanel* panel = FPanels->Items(index);
  WPARAM flags = static_cast<WPARAM>(index);
  if (panel->Bevel() == pbNone) flags |= SBT_NOBORDERS;
  if (panel->Bevel() == pbRaised) flags |= SBT_POPOUT;
  if (panel->Style() == psOwnerDraw) {
    SendMessageA(FHandle, SB_SETTEXTA, flags | SBT_OWNERDRAW, static_cast<LPARAM>(index));
    return;
  }
  // A tab before the text centres it, two put it on the right.
  AnsiString text = panel->Alignment() == taCenter ? "\t" + panel->Text()
                    : panel->Alignment() == taRightJustify ? "\t\t" + panel->Text()
                                                           : panel->Text();
  SendMessageA(FHandle, SB_SETTEXTA, flags, reinterpret_cast<LPARAM>(text.c_str()));
}

void TStatusBar::SetSimplePanel(bool value) {
  if (value == FSimplePanel) return;
  FSimplePanel = value;
  if (HandleAllocated()) SendMessageA(FHandle, SB_SIMPLE, value ? 1 : 0, 0);
}

void TStatusBar::SetSimpleText(const AnsiString& value) {
  if (value == FSimpleText) return;
  FSimpleText = value;
  if (HandleAllocated()) SendMessageA(FHandle, SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
}

bool TStatusBar::ExecuteAction(TBasicAction* action) {
  if (FAutoHint && action && action->Is<THintAction>()) {
    const AnsiString& hint = static_cast<THintAction*>(action)->Hint();
    if (!FSimplePanel && FPanels->Count() > 0)
      FPanels->Items(0)->SetText(hint);
    else
      SetSimpleText(hint);
    return true;
  }
  return TWinControl::ExecuteAction(action);
}

void TStatusBar::SetSizeGrip(bool value) {
  if (value == FSizeGrip) return;
  FSizeGrip = value;
  RecreateWnd();
}

void TStatusBar::DrawPanel(TStatusPanel* panel, const TRect& rect) {
  if (OnDrawPanel)
    OnDrawPanel(this, panel, rect);
  else
    FCanvas->FillRect(rect);
}

void TStatusBar::CNDrawItem(TMessage& m) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
  int index = static_cast<int>(dis->itemID);
  if (index < 0 || index >= FPanels->Count()) return;
  FCanvas->BeginPaintDC(dis->hDC);
  FCanvas->Font()->Assign(FFont);
  FCanvas->Brush()->SetColor(FColor);
  FCanvas->Brush()->SetStyle(bsSolid);
  try {
    DrawPanel(FPanels->Items(index), TRect(dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom));
  } catch (...) {
    FCanvas->EndPaintDC();
    throw;
  }
  FCanvas->EndPaintDC();
  m.Result = 1;
}

// ===========================================================================
// Progress bar

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 150, 16); }

void TProgressBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, PROGRESS_CLASSA);
  if (FSmooth) params.Style |= PBS_SMOOTH;
  if (FOrientation == pbVertical) params.Style |= PBS_VERTICAL;
}

void TProgressBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(FHandle, PBM_SETRANGE32, FMin, FMax);
  SendMessageA(FHandle, PBM_SETSTEP, FStep, 0);
  SendMessageA(FHandle, PBM_SETPOS, FPosition, 0);
}

void TProgressBar::DestroyWnd() {
  FPosition = Position();
  TWinControl::DestroyWnd();
}

int TProgressBar::Position() {
  if (HandleAllocated()) FPosition = static_cast<int>(SendMessageA(FHandle, PBM_GETPOS, 0, 0));
  return FPosition;
}

void TProgressBar::SetPosition(int value) {
  FPosition = std::clamp(value, std::min(FMin, FMax), std::max(FMin, FMax));
  if (HandleAllocated()) SendMessageA(FHandle, PBM_SETPOS, FPosition, 0);
}

void TProgressBar::SetMin(int value) {
  if (value == FMin) return;
  FMin = value;
  if (HandleAllocated()) SendMessageA(FHandle, PBM_SETRANGE32, FMin, FMax);
}

void TProgressBar::SetMax(int value) {
  if (value == FMax) return;
  FMax = value;
  if (HandleAllocated()) SendMessageA(FHandle, PBM_SETRANGE32, FMin, FMax);
}

void TProgressBar::SetStep(int value) {
  if (value == FStep) return;
  FStep = value;
  if (HandleAllocated()) SendMessageA(FHandle, PBM_SETSTEP, FStep, 0);
}

void TProgressBar::SetSmooth(bool value) {
  if (value == FSmooth) return;
  FSmooth = value;
  RecreateWnd();
}

void TProgressBar::SetOrientation(TProgressBarOrientation value) {
  if (value == FOrientation) return;
  FOrientation = value;
  RecreateWnd();
}

void TProgressBar::StepIt() {
  if (HandleAllocated()) {
    SendMessageA(FHandle, PBM_STEPIT, 0, 0);
  } else {
    // As the control does: past the end it starts again from the beginning.
    FPosition += FStep;
    if (FPosition > FMax) FPosition = FMin + (FPosition - FMax);
  }
}

void TProgressBar::StepBy(int delta) {
  if (HandleAllocated())
    SendMessageA(FHandle, PBM_DELTAPOS, delta, 0);
  else
    SetPosition(FPosition + delta);
}

// ===========================================================================

namespace {
const char* const AlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};
const char* const PanelBevelNames[] = {"pbNone", "pbLowered", "pbRaised"};
const char* const PanelStyleNames[] = {"psText", "psOwnerDraw"};
const char* const OrientationNames[] = {"pbHorizontal", "pbVertical"};

void RegisterBarProperties() {
  const TMetaClass* c = &TStatusBar::Class;
  RegisterProperty(c, "AutoHint", pkBool, &TStatusBar::SetAutoHint, &TStatusBar::AutoHint);
  RegisterProperty(c, "Panels", pkCollection, nullptr, &TStatusBar::Panels);
  RegisterProperty(c, "SimplePanel", pkBool, &TStatusBar::SetSimplePanel, &TStatusBar::SimplePanel);
  RegisterProperty(c, "SimpleText", pkString, &TStatusBar::SetSimpleText, &TStatusBar::SimpleText);
  RegisterProperty(c, "SizeGrip", pkBool, &TStatusBar::SetSizeGrip, &TStatusBar::SizeGrip);

  c = &TStatusPanel::Class;
  RegisterProperty(c, "Alignment", TPropType::Enum(AlignmentNames), &TStatusPanel::SetAlignment,
                   &TStatusPanel::Alignment);
  RegisterProperty(c, "Bevel", TPropType::Enum(PanelBevelNames), &TStatusPanel::SetBevel, &TStatusPanel::Bevel);
  RegisterProperty(c, "Style", TPropType::Enum(PanelStyleNames), &TStatusPanel::SetStyle, &TStatusPanel::Style);
  RegisterProperty(c, "Text", pkString, &TStatusPanel::SetText, &TStatusPanel::Text);
  RegisterProperty(c, "Width", pkInteger, &TStatusPanel::SetWidth, &TStatusPanel::Width);

  c = &TProgressBar::Class;
  RegisterProperty(c, "Max", pkInteger, &TProgressBar::SetMax, &TProgressBar::Max);
  RegisterProperty(c, "Min", pkInteger, &TProgressBar::SetMin, &TProgressBar::Min);
  RegisterProperty(c, "Orientation", TPropType::Enum(OrientationNames), &TProgressBar::SetOrientation,
                   &TProgressBar::Orientation);
  RegisterProperty(c, "Position", pkInteger, &TProgressBar::SetPosition, &TProgressBar::Position);
  RegisterProperty(c, "Smooth", pkBool, &TProgressBar::SetSmooth, &TProgressBar::Smooth);
  RegisterProperty(c, "Step", pkInteger, &TProgressBar::SetStep, &TProgressBar::Step);
}

}  // namespace

void UnitInit_comctrls() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterClasses({&TStatusBar::Class, &TProgressBar::Class});
  RegisterBarProperties();
}

void UnitFini_comctrls() {}
