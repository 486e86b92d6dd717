#include "UcButtons.h"

#include "UcActnList.h"
#include "UcComponentProps.h"
#include "UcForms.h"
#include "UcWindows.h"

CL_DEFINE_CLASS(EAbortPaint, EAbort)
CL_DEFINE_COMPONENT(TUcSpeedButton, TSpeedButton)
CL_DEFINE_COMPONENT(TUcBitBtn, TBitBtn)

// {15D7E501-1E33-4293-8B45-716FB3B14504}
const GUID IID_IUcGlyphButton = {0x15D7E501, 0x1E33, 0x4293, {0x8B, 0x45, 0x71, 0x6F, 0xB3, 0xB1, 0x45, 0x04}};

namespace {

IUcGlyphButton* GlyphButtonOf(TControl* control) {
  void* intf = nullptr;
  if (!Supports(control, IID_IUcGlyphButton, &intf) || !intf)
    throw EUcInternalError("Internal Error: Control does not support IUcGlyphButton.");
  return static_cast<IUcGlyphButton*>(intf);
}

// Clears a flag when the scope ends.
class TFlagOn {
public:
  explicit TFlagOn(bool& flag) : FFlag(flag) { flag = true; }
  ~TFlagOn() { FFlag = false; }
  TFlagOn(const TFlagOn&) = delete;
  TFlagOn& operator=(const TFlagOn&) = delete;

private:
  bool& FFlag;
};

}  // namespace

// ===========================================================================
// Layout and drawing

void TButtonGlyph_CalcButtonLayout(TControl* control, HDC dc, const TRect& client, const TPoint& offset,
                                   const WideString& caption, TButtonLayout layout, int margin, int spacing,
                                   TPoint& glyphPos, TRect& textBounds, int biDiFlags) {
  TButtonGlyph* glyph = GlyphButtonOf(control)->GetButtonGlyph();
  TPoint glyphSize(0, 0);
  if (glyph && glyph->Glyph() && !glyph->Glyph()->Empty())
    glyphSize = TPoint(glyph->Glyph()->Width() / glyph->NumGlyphs(), glyph->Glyph()->Height());
  if (!caption.IsEmpty()) {
    textBounds = TRect(0, 0, client.Width(), 0);
    Uc_DrawTextW(dc, caption.c_str(), caption.Length(), &textBounds, DT_CALCRECT | biDiFlags);
  } else {
    textBounds = TRect();
  }
  PlaceButtonGlyphAndText(client, offset, glyphSize, layout, margin, spacing, glyphPos, textBounds, biDiFlags);
}

TRect TButtonGlyph_Draw(TControl* control, TCanvas* canvas, const TRect& client, const TPoint& offset,
                        const WideString& caption, TButtonLayout layout, int margin, int spacing, TButtonState state,
                        bool transparent, int biDiFlags) {
  IUcGlyphButton* button = GlyphButtonOf(control);
  TButtonGlyph* glyph = button->GetButtonGlyph();
  canvas->RequiredState(csHandleValid | csFontValid);
  TPoint glyphPos;
  TRect textBounds;
  TButtonGlyph_CalcButtonLayout(control, canvas->Handle(), client, offset, caption, layout, margin, spacing, glyphPos,
                                textBounds, biDiFlags);
  TBitmap* bitmap = glyph ? glyph->Glyph() : nullptr;
  if (bitmap && !bitmap->Empty() && bitmap->Width() > 0 && bitmap->Height() > 0) {
    TButtonState imageState = state == bsDown && glyph->NumGlyphs() < 3 ? bsUp : state;
    int index = glyph->ImageIndex(imageState);
    // The images are made by the class library's own painting.
    if (index == -1) button->UpdateInternalGlyphList();
    HDC dc = canvas->Handle();
    if (transparent || state == bsExclusive)
      ImageList_DrawEx(glyph->GlyphList()->Handle(), index, dc, glyphPos.x, glyphPos.y, 0, 0, CLR_NONE, CLR_NONE,
                       ILD_TRANSPARENT);
    else
      ImageList_DrawEx(glyph->GlyphList()->Handle(), index, dc, glyphPos.x, glyphPos.y, 0, 0,
                       ColorToRGB(clBtnFace), CLR_NONE, ILD_NORMAL);
  }
  canvas->Brush()->SetStyle(bsClear);
  const UINT flags = DT_CENTER | DT_VCENTER | static_cast<UINT>(biDiFlags);
  auto draw = [&](TRect r) {
    canvas->RequiredState(csAllValid);
    Uc_DrawTextW(canvas->Handle(), caption.c_str(), caption.Length(), &r, flags);
  };
  if (state == bsDisabled) {
    TRect r = textBounds;
    OffsetRect(&r, 1, 1);
    canvas->Font()->SetColor(clBtnHighlight);
    draw(r);
    canvas->Font()->SetColor(clBtnShadow);
    draw(textBounds);
  } else {
    draw(textBounds);
  }
  return textBounds;
}

// ===========================================================================
// TUcSpeedButton

CL_BEGIN_MESSAGE_MAP(TUcSpeedButton, TSpeedButton)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
  CL_MESSAGE(CM_HINTSHOW, CMHintShow)
CL_END_MESSAGE_MAP

bool TUcSpeedButton::GetInterface(const GUID& iid, void** obj) {
  if (IsEqualGUID(iid, IID_IUcGlyphButton)) {
    if (obj) *obj = static_cast<IUcGlyphButton*>(this);
    return true;
  }
  return TSpeedButton::GetInterface(iid, obj);
}

void TUcSpeedButton::UpdateInternalGlyphList() {
  {
    TFlagOn inherited(FPaintInherited);
    Repaint();
  }
  Invalidate();
  throw EAbortPaint("");
}

void TUcSpeedButton::Paint() {
  if (FPaintInherited)
    TSpeedButton::Paint();
  else
    PaintButton();
}

void TUcSpeedButton::PaintButton() {
  if (!Enabled()) {
    FState = bsDisabled;
    FDragging = false;
  } else if (FState == bsDisabled) {
    FState = FDown && FGroupIndex != 0 ? bsExclusive : bsUp;
  }
  TCanvas* canvas = Canvas();
  canvas->SetFont(Font());
  TRect paintRect(0, 0, Width(), Height());
  const bool pressed = FState == bsDown || FState == bsExclusive;
  if (FFlat) {
    if (pressed || (FMouseInControl && FState != bsDisabled) || (ComponentState() & csDesigning)) {
      canvas->RequiredState(csHandleValid);
      DrawEdge(canvas->Handle(), &paintRect, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER,
               BF_RECT | (FTransparent ? 0 : BF_MIDDLE));
    } else if (!FTransparent) {
      canvas->Brush()->SetStyle(bsSolid);
      canvas->Brush()->SetColor(Color());
      canvas->FillRect(paintRect);
    }
    InflateRect(&paintRect, -1, -1);
  } else {
    canvas->RequiredState(csHandleValid);
    DrawFrameControl(canvas->Handle(), &paintRect, DFC_BUTTON,
                     DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (pressed ? DFCS_PUSHED : 0));
  }
  TPoint offset(0, 0);
  if (pressed) {
    if (FState == bsExclusive && (!FFlat || !FMouseInControl)) {
      canvas->Brush()->SetBitmap(AllocPatternBitmap(clBtnFace, clBtnHighlight));
      canvas->FillRect(paintRect);
      canvas->Brush()->SetBitmap(nullptr);
    }
    offset = TPoint(1, 1);
  }
  try {
    TButtonGlyph_Draw(this, canvas, paintRect, offset, Caption(), FLayout, FMargin, FSpacing, FState, FTransparent,
                      DrawTextBiDiModeFlags(0));
  } catch (const EAbortPaint&) {
  }
}

void TUcSpeedButton::CMDialogChar(TMessage& m) {
  if (IsWideCharAccel(static_cast<WORD>(m.WParam), Caption()) && Enabled() && Visible() && Parent() &&
      Parent()->Showing()) {
    Click();
    m.Result = 1;
    return;
  }
  InheritedMsg(&TSpeedButton::MessageMap, m);
}

void TUcSpeedButton::CMHintShow(TMessage& m) {
  ProcessCMHintShowMsg(m);
  InheritedMsg(&TSpeedButton::MessageMap, m);
}

UC_STANDARD_OVERRIDES_BODY(TUcSpeedButton, TSpeedButton)

// ===========================================================================
// TUcBitBtn

CL_BEGIN_MESSAGE_MAP(TUcBitBtn, TBitBtn)
  CL_MESSAGE(CN_DRAWITEM, CNDrawItem)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
  CL_MESSAGE(CM_MOUSEENTER, CMMouseEnter)
  CL_MESSAGE(CM_MOUSELEAVE, CMMouseLeave)
CL_END_MESSAGE_MAP

bool TUcBitBtn::IsCaptionStored() {
  // The captions the stock kinds give themselves.
  static const wchar_t* const kindCaptions[] = {L"",       L"OK",     L"Cancel", L"&Help",   L"&Yes", L"&No",
                                                L"&Close", L"Abort",  L"&Retry", L"&Ignore", L"&All"};
  if (Kind() != bkCustom) return Caption() != WideString(kindCaptions[Kind()]);
  return UcControl_IsCaptionStored(this);
}

bool TUcBitBtn::GetInterface(const GUID& iid, void** obj) {
  if (IsEqualGUID(iid, IID_IUcGlyphButton)) {
    if (obj) *obj = static_cast<IUcGlyphButton*>(this);
    return true;
  }
  return TBitBtn::GetInterface(iid, obj);
}

void TUcBitBtn::UpdateInternalGlyphList() {
  {
    TFlagOn inherited(FPaintInherited);
    Repaint();
  }
  Invalidate();
  throw EAbortPaint("");
}

void TUcBitBtn::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, L"BUTTON"); }

void TUcBitBtn::CNDrawItem(TMessage& m) {
  if (FPaintInherited) {
    InheritedMsg(&TBitBtn::MessageMap, m);
    return;
  }
  DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam));
  m.Result = 1;
}

void TUcBitBtn::DrawItem(const DRAWITEMSTRUCT& dis) {
  // The class library's own paint (it calls this method) makes the images.
  if (FPaintInherited) {
    TBitBtn::DrawItem(dis);
    return;
  }
  // An aborted paint (its glyph images are on the way) ends here silently.
  try {
    DrawFace(dis, [&](const TRect& r, TButtonState state) {
      TButtonGlyph_Draw(this, FCanvas, r, TPoint(0, 0), Caption(), FLayout, FMargin, FSpacing, state, false,
                        DrawTextBiDiModeFlags(0));
    });
  } catch (const EAbortPaint&) {
  }
}

void TUcBitBtn::CMDialogChar(TMessage& m) {
  if (!UcButton_CMDialogChar(this, m)) InheritedMsg(&TBitBtn::MessageMap, m);
}

void TUcBitBtn::CMMouseEnter(TMessage& m) {
  FUcMouseInControl = true;
  InheritedMsg(&TBitBtn::MessageMap, m);
}

void TUcBitBtn::CMMouseLeave(TMessage& m) {
  FUcMouseInControl = false;
  InheritedMsg(&TBitBtn::MessageMap, m);
}

UC_STANDARD_OVERRIDES_BODY(TUcBitBtn, TBitBtn)

// ===========================================================================
// Unit

void UnitInit_UcButtons() {
  RegisterClasses({&TUcSpeedButton::Class, &TUcBitBtn::Class});
  RegisterProperty(&TUcSpeedButton::Class, "Caption", pkWideString, &TUcSpeedButton::SetCaption,
                   &TUcSpeedButton::Caption, TPropDefault(), &TUcSpeedButton::IsCaptionStored);
  RegisterProperty(&TUcSpeedButton::Class, "Hint", pkWideString, &TUcSpeedButton::SetHint, &TUcSpeedButton::Hint,
                   TPropDefault(), &TUcSpeedButton::IsHintStored);
  RegisterProperty(&TUcBitBtn::Class, "Caption", pkWideString, &TUcBitBtn::SetCaption, &TUcBitBtn::Caption,
                   TPropDefault(), &TUcBitBtn::IsCaptionStored);
  RegisterProperty(&TUcBitBtn::Class, "Hint", pkWideString, &TUcBitBtn::SetHint, &TUcBitBtn::Hint, TPropDefault(),
                   &TUcBitBtn::IsHintStored);
}

void UnitFini_UcButtons() {}
