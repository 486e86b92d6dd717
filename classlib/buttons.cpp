#include "buttons.h"

#include <cstring>
#include <vector>

#include "forms.h"

CL_DEFINE_CLASS(TButtonGlyph, TObject)
CL_DEFINE_COMPONENT(TSpeedButton, TGraphicControl)
CL_DEFINE_CLASS(TSpeedButtonActionLink, TControlActionLink)
CL_DEFINE_COMPONENT(TBitBtn, TButton)

// ---------------------------------------------------------------------------
// TButtonGlyph

TButtonGlyph::TButtonGlyph() : FOriginal(new TBitmap) {
  FOriginal->OnChange = MakeEvent<&TButtonGlyph::GlyphChanged>(this);
}

TButtonGlyph::~TButtonGlyph() {
  delete FGlyphList;
  delete FOriginal;
}

void TButtonGlyph::Invalidate() {
  for (int& i : FIndexes) i = -1;
  delete FGlyphList;
  FGlyphList = nullptr;
}

void TButtonGlyph::GlyphChanged(TObject*) {
  if (FUpdating) return;
  Invalidate();
  if (!FOriginal->Empty()) {
    FTransparentColor = FOriginal->TransparentColor();
    // A strip of square images tells how many it holds.
    int w = FOriginal->Width(), h = FOriginal->Height();
    if (h > 0 && w % h == 0 && w / h >= 2 && w / h <= 4) FNumGlyphs = w / h;
  }
  if (OnChange) OnChange(this);
}

void TButtonGlyph::SetGlyph(TBitmap* v) {
  Invalidate();
  FOriginal->Assign(v);
}

void TButtonGlyph::SetNumGlyphs(int v) {
  if (v < 1) v = 1;
  if (v > 4) v = 4;
  if (v == FNumGlyphs) return;
  FNumGlyphs = v;
  Invalidate();
  if (OnChange) OnChange(this);
}

int TButtonGlyph::CreateButtonGlyph(TButtonState state) {
  if (state == bsDown && FNumGlyphs < 3) state = bsUp;
  if (FIndexes[state] != -1) return FIndexes[state];
  if (FOriginal->Empty()) return -1;
  const int w = FOriginal->Width() / FNumGlyphs;
  const int h = FOriginal->Height();
  if (w <= 0 || h <= 0) return -1;
  if (!FGlyphList) {
    FGlyphList = new TImageList(nullptr);
    FGlyphList->SetWidth(w);
    FGlyphList->SetHeight(h);
  }
  // The part of the strip for the state; states without one use the first.
  int part = static_cast<int>(state) < FNumGlyphs ? static_cast<int>(state) : 0;
  std::vector<uint8_t> all = FOriginal->GetBGR24();
  const int stripW = FOriginal->Width();
  std::vector<uint8_t> img(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    std::memcpy(&img[static_cast<size_t>(y) * w * 3], &all[(static_cast<size_t>(y) * stripW + part * w) * 3], w * 3);
  TColor mask = FTransparentColor;
  if (state == bsDisabled && FNumGlyphs < 2) {
    // Embossed: the glyph's dark pixels as a highlight one pixel down-right
    // and a shadow on top, on the button face (which becomes the mask).
    const COLORREF tc = ColorToRGB(FTransparentColor);
    std::vector<bool> ink(static_cast<size_t>(w) * h);
    for (int i = 0; i < w * h; ++i) {
      const uint8_t* p = &img[i * 3];
      bool transparent = RGB(p[2], p[1], p[0]) == tc;
      int luma = (p[2] * 30 + p[1] * 59 + p[0] * 11) / 100;
      ink[i] = !transparent && luma < 192;
    }
    const COLORREF face = ColorToRGB(clBtnFace), hi = ColorToRGB(clBtnHighlight), sh = ColorToRGB(clBtnShadow);
    auto put = [&](int x, int y, COLORREF c) {
      uint8_t* p = &img[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    };
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) put(x, y, face);
    for (int y = 0; y + 1 < h; ++y)
      for (int x = 0; x + 1 < w; ++x)
        if (ink[y * w + x]) put(x + 1, y + 1, hi);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (ink[y * w + x]) put(x, y, sh);
    mask = clBtnFace;
  }
  TBitmap tmp;
  tmp.SetBGR24(w, h, img.data());
  FIndexes[state] = FGlyphList->AddMasked(&tmp, mask);
  return FIndexes[state];
}

void TButtonGlyph::DrawButtonGlyph(TCanvas* canvas, const TPoint& pos, TButtonState state, bool transparent) {
  if (FOriginal->Empty() || FOriginal->Width() == 0 || FOriginal->Height() == 0) return;
  int index = CreateButtonGlyph(state);
  if (index < 0) return;
  HDC dc = canvas->Handle();
  if (transparent || state == bsExclusive)
    ImageList_DrawEx(FGlyphList->Handle(), index, dc, pos.x, pos.y, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
  else
    ImageList_DrawEx(FGlyphList->Handle(), index, dc, pos.x, pos.y, 0, 0, ColorToRGB(clBtnFace), CLR_NONE, ILD_NORMAL);
}

void TButtonGlyph::DrawButtonText(TCanvas* canvas, const AnsiString& caption, TRect textBounds, TButtonState state,
                                  int biDiFlags) {
  canvas->Brush()->SetStyle(bsClear);
  const UINT flags = DT_CENTER | DT_VCENTER | biDiFlags;
  auto draw = [&](TRect r) {
    canvas->RequiredState(csHandleValid | csFontValid | csBrushValid);
    DrawTextA(canvas->Handle(), caption.c_str(), caption.Length(), &r, flags);
  };
  if (state == bsDisabled) {
    TColor saved = canvas->Font()->Color();
    OffsetRect(&textBounds, 1, 1);
    canvas->Font()->SetColor(clBtnHighlight);
    draw(textBounds);
    OffsetRect(&textBounds, -1, -1);
    canvas->Font()->SetColor(clBtnShadow);
    draw(textBounds);
    canvas->Font()->SetColor(saved);
  } else {
    draw(textBounds);
  }
}

void TButtonGlyph::CalcButtonLayout(TCanvas* canvas, const TRect& client, const TPoint& offset,
                                    const AnsiString& caption, TButtonLayout layout, int margin, int spacing,
                                    TPoint& glyphPos, TRect& textBounds, int biDiFlags) {
  TPoint glyphSize(0, 0);
  if (!FOriginal->Empty()) glyphSize = TPoint(FOriginal->Width() / FNumGlyphs, FOriginal->Height());
  if (!caption.IsEmpty()) {
    textBounds = TRect(0, 0, client.Width(), 0);
    canvas->RequiredState(csHandleValid | csFontValid);
    DrawTextA(canvas->Handle(), caption.c_str(), caption.Length(), &textBounds, DT_CALCRECT | biDiFlags);
  } else {
    textBounds = TRect();
  }
  PlaceButtonGlyphAndText(client, offset, glyphSize, layout, margin, spacing, glyphPos, textBounds, biDiFlags);
}

void PlaceButtonGlyphAndText(const TRect& client, const TPoint& offset, const TPoint& glyphSize,
                             TButtonLayout layout, int margin, int spacing, TPoint& glyphPos, TRect& textBounds,
                             int biDiFlags) {
  if (biDiFlags & DT_RIGHT) {
    if (layout == blGlyphLeft)
      layout = blGlyphRight;
    else if (layout == blGlyphRight)
      layout = blGlyphLeft;
  }
  const TPoint clientSize(client.Width(), client.Height());
  const TPoint textSize(textBounds.Width(), textBounds.Height());
  TPoint textPos;
  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  if (horizontal) {
    glyphPos.y = (clientSize.y - glyphSize.y + 1) / 2;
    textPos.y = (clientSize.y - textSize.y + 1) / 2;
  } else {
    glyphPos.x = (clientSize.x - glyphSize.x + 1) / 2;
    textPos.x = (clientSize.x - textSize.x + 1) / 2;
  }
  if (textSize.x == 0 || glyphSize.x == 0) spacing = 0;
  if (margin == -1) {
    if (spacing == -1) {
      TPoint total(glyphSize.x + textSize.x, glyphSize.y + textSize.y);
      margin = horizontal ? (clientSize.x - total.x) / 3 : (clientSize.y - total.y) / 3;
      spacing = margin;
    } else {
      TPoint total(glyphSize.x + spacing + textSize.x, glyphSize.y + spacing + textSize.y);
      margin = horizontal ? (clientSize.x - total.x + 1) / 2 : (clientSize.y - total.y + 1) / 2;
    }
  } else if (spacing == -1) {
    TPoint total(clientSize.x - (margin + glyphSize.x), clientSize.y - (margin + glyphSize.y));
    spacing = horizontal ? (total.x - textSize.x) / 2 : (total.y - textSize.y) / 2;
  }
  switch (layout) {
    case blGlyphLeft:
      glyphPos.x = margin;
      textPos.x = glyphPos.x + glyphSize.x + spacing;
      break;
    case blGlyphRight:
      glyphPos.x = clientSize.x - margin - glyphSize.x;
      textPos.x = glyphPos.x - spacing - textSize.x;
      break;
    case blGlyphTop:
      glyphPos.y = margin;
      textPos.y = glyphPos.y + glyphSize.y + spacing;
      break;
    case blGlyphBottom:
      glyphPos.y = clientSize.y - margin - glyphSize.y;
      textPos.y = glyphPos.y - spacing - textSize.y;
      break;
  }
  glyphPos.x += client.left + offset.x;
  glyphPos.y += client.top + offset.y;
  OffsetRect(&textBounds, textPos.x + client.left + offset.x, textPos.y + client.top + offset.y);
}

TRect TButtonGlyph::Draw(TCanvas* canvas, const TRect& client, const TPoint& offset, const AnsiString& caption,
                         TButtonLayout layout, int margin, int spacing, TButtonState state, bool transparent,
                         int biDiFlags) {
  TPoint glyphPos;
  TRect textBounds;
  CalcButtonLayout(canvas, client, offset, caption, layout, margin, spacing, glyphPos, textBounds, biDiFlags);
  DrawButtonGlyph(canvas, glyphPos, state, transparent);
  DrawButtonText(canvas, caption, textBounds, state, biDiFlags);
  return textBounds;
}

// ---------------------------------------------------------------------------
// TSpeedButton

CL_BEGIN_MESSAGE_MAP(TSpeedButton, TGraphicControl)
  CL_MESSAGE(CM_BUTTONPRESSED, CMButtonPressed)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
  CL_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged)
  CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(CM_SYSCOLORCHANGE, CMSysColorChange)
  CL_MESSAGE(CM_MOUSEENTER, CMMouseEnter)
  CL_MESSAGE(CM_MOUSELEAVE, CMMouseLeave)
CL_END_MESSAGE_MAP

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), FGlyph(new TButtonGlyph) {
  FGlyph->OnChange = MakeEvent<&TSpeedButton::GlyphChanged>(this);
  FControlStyle = csCaptureMouse | csDoubleClicks;
  SetBounds(0, 0, 23, 22);
}

TSpeedButton::~TSpeedButton() { delete FGlyph; }

void TSpeedButton::GlyphChanged(TObject*) { Invalidate(); }

void TSpeedButton::Paint() {
  if (!Enabled()) {
    FState = bsDisabled;
    FDragging = false;
  } else if (FState == bsDisabled) {
    FState = (FDown && FGroupIndex != 0) ? bsExclusive : bsUp;
  }
  TCanvas* c = Canvas();
  c->SetFont(Font());
  TRect paintRect(0, 0, Width(), Height());
  const bool pressed = FState == bsDown || FState == bsExclusive;
  if (FFlat) {
    if (pressed || (FMouseInControl && FState != bsDisabled)) {
      DrawEdge(c->Handle(), &paintRect, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER,
               BF_RECT | (FTransparent ? 0 : BF_MIDDLE));
    } else if (!FTransparent) {
      c->Brush()->SetColor(Color());
      c->FillRect(paintRect);
    }
    InflateRect(&paintRect, -1, -1);
  } else {
    DrawFrameControl(c->Handle(), &paintRect, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (pressed ? DFCS_PUSHED : 0));
  }
  TPoint offset(0, 0);
  if (pressed) {
    if (FState == bsExclusive && (!FFlat || !FMouseInControl)) {
      c->Brush()->SetBitmap(AllocPatternBitmap(clBtnFace, clBtnHighlight));
      c->FillRect(paintRect);
      c->Brush()->SetBitmap(nullptr);
    }
    offset = TPoint(1, 1);
  }
  FGlyph->Draw(c, paintRect, offset, GetText(), FLayout, FMargin, FSpacing, FState, FTransparent,
               DrawTextBiDiModeFlags(0));
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button == mbLeft && Enabled()) {
    if (!FDown) {
      FState = bsDown;
      Invalidate();
    }
    FDragging = true;
  }
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!FDragging) return;
  TButtonState newState = FDown ? bsExclusive : bsUp;
  if (x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight()) newState = FDown ? bsExclusive : bsDown;
  if (newState != FState) {
    FState = newState;
    Invalidate();
  }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (!FDragging) return;
  FDragging = false;
  const bool doClick = x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight();
  if (FGroupIndex == 0) {
    FState = bsUp;
    FMouseInControl = false;
    Invalidate();
  } else if (doClick) {
    SetDown(!FDown);
    if (FDown) Repaint();
  } else {
    if (FDown) FState = bsExclusive;
    Repaint();
  }
  if (doClick) Click();
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::SetFlat(bool v) {
  if (v == FFlat) return;
  FFlat = v;
  Invalidate();
}

void TSpeedButton::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  if (v)
    FControlStyle &= ~csOpaque;
  else
    FControlStyle |= csOpaque;
  Invalidate();
}

void TSpeedButton::SetDown(bool v) {
  if (FGroupIndex == 0) v = false;
  if (v == FDown) return;
  if (FDown && !FAllowAllUp) return;
  FDown = v;
  if (v) {
    if (FState == bsUp) Invalidate();
    FState = bsExclusive;
  } else {
    FState = bsUp;
    Repaint();
  }
  if (v) UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(int v) {
  if (v == FGroupIndex) return;
  FGroupIndex = v;
  UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool v) {
  if (v == FAllowAllUp) return;
  FAllowAllUp = v;
  UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
  if (FGroupIndex == 0 || !Parent()) return;
  TMessage m{CM_BUTTONPRESSED, static_cast<WPARAM>(FGroupIndex), reinterpret_cast<LPARAM>(this), 0};
  Parent()->Broadcast(m);
}

void TSpeedButton::CMButtonPressed(TMessage& m) {
  if (static_cast<int>(m.WParam) != FGroupIndex) return;
  TObject* sender = reinterpret_cast<TObject*>(m.LParam);
  if (!sender || sender == this || !sender->Is<TSpeedButton>()) return;
  TSpeedButton* other = static_cast<TSpeedButton*>(sender);
  if (other->FDown && FDown) {
    FDown = false;
    FState = bsUp;
    Invalidate();
  }
  FAllowAllUp = other->FAllowAllUp;
}

void TSpeedButton::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<WORD>(m.WParam), GetText()) && Enabled() && Visible() && Parent() && Parent()->Showing()) {
    Click();
    m.Result = 1;
    return;
  }
  InheritedMsg(&TGraphicControl::MessageMap, m);
}

void TSpeedButton::CMEnabledChanged(TMessage& m) {
  InheritedMsg(&TGraphicControl::MessageMap, m);
  Repaint();
}

void TSpeedButton::CMFontChanged(TMessage& m) {
  InheritedMsg(&TGraphicControl::MessageMap, m);
  Invalidate();
}

void TSpeedButton::CMTextChanged(TMessage&) { Invalidate(); }

void TSpeedButton::CMSysColorChange(TMessage&) {
  FGlyph->Invalidate();
  Invalidate();
}

void TSpeedButton::CMMouseEnter(TMessage& m) {
  InheritedMsg(&TGraphicControl::MessageMap, m);
  if (FFlat && !FMouseInControl && Enabled() && !FDragging) {
    FMouseInControl = true;
    Repaint();
  }
}

void TSpeedButton::CMMouseLeave(TMessage& m) {
  InheritedMsg(&TGraphicControl::MessageMap, m);
  if (FFlat && FMouseInControl && Enabled() && !FDragging) {
    FMouseInControl = false;
    Invalidate();
  }
}

const TMetaClass* TSpeedButton::GetActionLinkClass() { return &TSpeedButtonActionLink::Class; }

void TSpeedButton::ActionChange(TObject* sender, bool checkDefaults) {
  TGraphicControl::ActionChange(sender, checkDefaults);
  if (sender && sender->Is<TCustomAction>()) {
    TCustomAction* action = static_cast<TCustomAction*>(sender);
    if (!checkDefaults || FGroupIndex == 0) SetGroupIndex(action->GroupIndex());
    if (!checkDefaults || !FDown) SetDown(action->Checked());
  }
}

void TSpeedButtonActionLink::AssignClient(TObject* client) {
  TControlActionLink::AssignClient(client);
  FButton = client ? client->As<TSpeedButton>() : nullptr;
}

bool TSpeedButtonActionLink::IsCheckedLinked() {
  TCustomAction* action = CustomAction();
  return TControlActionLink::IsCheckedLinked() && action && FButton && FButton->GroupIndex() != 0 &&
         FButton->AllowAllUp() && FButton->Down() == action->Checked();
}

bool TSpeedButtonActionLink::IsGroupIndexLinked() {
  TCustomAction* action = CustomAction();
  return action && FButton && FButton->GroupIndex() == action->GroupIndex();
}

void TSpeedButtonActionLink::SetChecked(bool value) {
  if (IsCheckedLinked()) FButton->SetDown(value);
}

void TSpeedButtonActionLink::SetGroupIndex(int value) {
  if (IsGroupIndexLinked()) FButton->SetGroupIndex(value);
}

// ---------------------------------------------------------------------------
// TBitBtn

CL_BEGIN_MESSAGE_MAP(TBitBtn, TButton)
  CL_MESSAGE(CN_DRAWITEM, CNDrawItem)
  CL_MESSAGE(CN_MEASUREITEM, CNMeasureItem)
  CL_MESSAGE(CM_MOUSEENTER, CMMouseEnter)
  CL_MESSAGE(CM_MOUSELEAVE, CMMouseLeave)
  CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
  CL_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged)
  CL_MESSAGE(CM_SYSCOLORCHANGE, CMSysColorChange)
  CL_MESSAGE(WM_LBUTTONDBLCLK, WMLButtonDblClk)
CL_END_MESSAGE_MAP

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner), FCanvas(new TCanvas), FGlyph(new TButtonGlyph) {
  FGlyph->OnChange = MakeEvent<&TBitBtn::GlyphChanged>(this);
}

TBitBtn::~TBitBtn() {
  delete FGlyph;
  delete FCanvas;
}

void TBitBtn::GlyphChanged(TObject*) { Invalidate(); }

void TBitBtn::CreateParams(TCreateParams& params) {
  TButton::CreateParams(params);
  params.Style = (params.Style & ~0x0Fu) | BS_OWNERDRAW;
}

void TBitBtn::SetButtonStyle(bool isDefault) {
  // An owner-drawn button cannot take the default style: it draws the look itself.
  if (isDefault != FIsFocused) {
    FIsFocused = isDefault;
    Refresh();
  }
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& dis) {
  DrawFace(dis, [&](const TRect& r, TButtonState state) {
    FGlyph->Draw(FCanvas, r, TPoint(0, 0), GetText(), FLayout, FMargin, FSpacing, state, false,
                 DrawTextBiDiModeFlags(0));
  });
}

void TBitBtn::DrawFace(const DRAWITEMSTRUCT& dis, const std::function<void(const TRect&, TButtonState)>& drawContent) {
  FCanvas->SetHandle(dis.hDC);
  // The canvas lets go of the record's device context on every way out.
  try {
    FCanvas->SetFont(Font());
    const bool isDown = (dis.itemState & ODS_SELECTED) != 0;
    const bool isDefault = (dis.itemState & ODS_FOCUS) != 0;
    const bool isFocused = FIsFocused;
    TButtonState state = !Enabled() ? bsDisabled : isDown ? bsDown : bsUp;
    TRect r = ClientRect();
    UINT flags = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
    if (isDown) flags |= DFCS_PUSHED;
    if (dis.itemState & ODS_DISABLED) flags |= DFCS_INACTIVE;
    if (isFocused || isDefault) {
      FCanvas->Pen()->SetColor(clWindowFrame);
      FCanvas->Pen()->SetWidth(1);
      FCanvas->Brush()->SetStyle(bsClear);
      FCanvas->Rectangle(r);
      InflateRect(&r, -1, -1);
    }
    // The brush is made solid again by name: setting the colour it already
    // has would leave it clear, and the pushed face would not be filled.
    if (isDown) {
      FCanvas->Pen()->SetColor(clBtnShadow);
      FCanvas->Pen()->SetWidth(1);
      FCanvas->Brush()->SetStyle(bsSolid);
      FCanvas->Brush()->SetColor(clBtnFace);
      FCanvas->Rectangle(r);
      InflateRect(&r, -1, -1);
    } else {
      DrawFrameControl(dis.hDC, &r, DFC_BUTTON, flags);
    }
    if (isFocused) {
      r = ClientRect();
      InflateRect(&r, -1, -1);
    }
    FCanvas->SetFont(Font());
    if (isDown) OffsetRect(&r, 1, 1);
    drawContent(r, state);
    if (isFocused && isDefault) {
      r = ClientRect();
      InflateRect(&r, -4, -4);
      FCanvas->Pen()->SetColor(clWindowFrame);
      FCanvas->Brush()->SetStyle(bsSolid);
      FCanvas->Brush()->SetColor(clBtnFace);
      FCanvas->DrawFocusRect(r);
    }
  } catch (...) {
    FCanvas->SetHandle(nullptr);
    throw;
  }
  FCanvas->SetHandle(nullptr);
}

void TBitBtn::CNDrawItem(TMessage& m) {
  DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam));
  m.Result = 1;
}

void TBitBtn::CNMeasureItem(TMessage& m) {
  auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
  mis->itemWidth = Width();
  mis->itemHeight = Height();
  m.Result = 1;
}

void TBitBtn::CMMouseEnter(TMessage& m) {
  InheritedMsg(&TButton::MessageMap, m);
  FMouseInControl = true;
}

void TBitBtn::CMMouseLeave(TMessage& m) {
  InheritedMsg(&TButton::MessageMap, m);
  FMouseInControl = false;
}

void TBitBtn::CMFontChanged(TMessage& m) {
  InheritedMsg(&TButton::MessageMap, m);
  Invalidate();
}

void TBitBtn::CMEnabledChanged(TMessage& m) {
  InheritedMsg(&TButton::MessageMap, m);
  Invalidate();
}

void TBitBtn::CMSysColorChange(TMessage& m) {
  FGlyph->Invalidate();
  InheritedMsg(&TButton::MessageMap, m);
  Invalidate();
}

void TBitBtn::WMLButtonDblClk(TMessage& m) {
  // A double click is two clicks for a button.
  Perform(WM_LBUTTONDOWN, m.WParam, m.LParam);
}

void TBitBtn::SetKind(TBitBtnKind v) {
  if (v == FKind) return;
  FKind = v;
  if (v == bkCustom) return;
  static const char* const captions[] = {"", "OK", "Cancel", "&Help", "&Yes", "&No", "&Close", "Abort", "&Retry",
                                         "&Ignore", "&All"};
  static const int results[] = {mrNone, mrOk, mrCancel, mrNone, mrYes, mrNo, mrNone, mrAbort, mrRetry, mrIgnore, mrAll};
  SetCaption(captions[v]);
  SetModalResult(results[v]);
  if (v == bkOK || v == bkYes) SetDefault(true);
  if (v == bkCancel || v == bkNo) SetCancel(true);
}

// ---------------------------------------------------------------------------

namespace {
const char* const LayoutNames[] = {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"};
const char* const KindNames[] = {"bkCustom", "bkOK",    "bkCancel", "bkHelp",   "bkYes", "bkNo",
                                 "bkClose",  "bkAbort", "bkRetry",  "bkIgnore", "bkAll"};
}  // namespace

void UnitInit_buttons() {
  RegisterClasses({&TSpeedButton::Class, &TBitBtn::Class});
  RegisterActionLinkClass(&TSpeedButtonActionLink::Class, &NewActionLink<TSpeedButtonActionLink>);
  const TMetaClass* c = &TSpeedButton::Class;
  RegisterProperty(c, "AllowAllUp", pkBool, &TSpeedButton::SetAllowAllUp, &TSpeedButton::AllowAllUp);
  RegisterProperty(c, "GroupIndex", pkInteger, &TSpeedButton::SetGroupIndex, &TSpeedButton::GroupIndex);
  RegisterProperty(c, "Down", pkBool, &TSpeedButton::SetDown, &TSpeedButton::Down);
  RegisterProperty(c, "Flat", pkBool, &TSpeedButton::SetFlat, &TSpeedButton::Flat);
  RegisterProperty(c, "Glyph", pkObject, &TSpeedButton::SetGlyph, &TSpeedButton::Glyph);
  RegisterProperty(c, "Layout", TPropType::Enum(LayoutNames), &TSpeedButton::SetLayout, &TSpeedButton::Layout);
  RegisterProperty(c, "Margin", pkInteger, &TSpeedButton::SetMargin, &TSpeedButton::Margin);
  RegisterProperty(c, "NumGlyphs", pkInteger, &TSpeedButton::SetNumGlyphs, &TSpeedButton::NumGlyphs);
  RegisterProperty(c, "Spacing", pkInteger, &TSpeedButton::SetSpacing, &TSpeedButton::Spacing);
  RegisterProperty(c, "Transparent", pkBool, &TSpeedButton::SetTransparent, &TSpeedButton::Transparent);
  c = &TBitBtn::Class;
  RegisterProperty(c, "Glyph", pkObject, &TBitBtn::SetGlyph, &TBitBtn::Glyph);
  RegisterProperty(c, "Kind", TPropType::Enum(KindNames), &TBitBtn::SetKind, &TBitBtn::Kind);
  RegisterProperty(c, "Layout", TPropType::Enum(LayoutNames), &TBitBtn::SetLayout, &TBitBtn::Layout);
  RegisterProperty(c, "Margin", pkInteger, &TBitBtn::SetMargin, &TBitBtn::Margin);
  RegisterProperty(c, "NumGlyphs", pkInteger, &TBitBtn::SetNumGlyphs, &TBitBtn::NumGlyphs);
  RegisterProperty(c, "Spacing", pkInteger, &TBitBtn::SetSpacing, &TBitBtn::Spacing);
}

void UnitFini_buttons() {}
