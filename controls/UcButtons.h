// Speed buttons and bitmap buttons with wide captions and hints. Both lay out
// and draw glyph and caption themselves, the caption with the wide text call;
// the glyph images come from the class library's glyph object, which makes
// them in its own painting.
#pragma once

#include "buttons.h"

#include "UcControls.h"
#include "UcStdCtrls.h"

// Ends a paint silently: the images it needed are being made.
CL_EXCEPTION(EAbortPaint, EAbort)

// {15D7E501-1E33-4293-8B45-716FB3B14504}
extern const GUID IID_IUcGlyphButton;
class IUcGlyphButton {
public:
  // The button's glyph object.
  virtual TButtonGlyph* GetButtonGlyph() = 0;
  // Paints the button once the class library's way (which makes the glyph
  // images), asks for a new paint and ends the current one (EAbortPaint).
  virtual void UpdateInternalGlyphList() = 0;

protected:
  ~IUcGlyphButton() = default;
};

// Where glyph and caption go in client: glyphPos, and textBounds as the
// caption's rectangle. The control must support IUcGlyphButton
// (EUcInternalError "Internal Error: Control does not support IUcGlyphButton."
// otherwise). Integer division truncates toward zero, as the layout always did.
void TButtonGlyph_CalcButtonLayout(TControl* control, HDC dc, const TRect& client, const TPoint& offset,
                                   const WideString& caption, TButtonLayout layout, int margin, int spacing,
                                   TPoint& glyphPos, TRect& textBounds, int biDiFlags);
// Lays out, then draws the glyph of the state and the wide caption; returns
// the caption's rectangle. A glyph image not yet made ends the paint through
// the control's UpdateInternalGlyphList.
TRect TButtonGlyph_Draw(TControl* control, TCanvas* canvas, const TRect& client, const TPoint& offset,
                        const WideString& caption, TButtonLayout layout, int margin, int spacing, TButtonState state,
                        bool transparent, int biDiFlags);

class TUcSpeedButton : public TSpeedButton, public IUcGlyphButton {
  CL_CLASS(TUcSpeedButton, TSpeedButton)
  CL_DECLARE_MESSAGE_MAP(TUcSpeedButton)
public:
  explicit TUcSpeedButton(TComponent* owner) : TSpeedButton(owner) {}

  UC_WIDE_CAPTION_MEMBERS
  UC_WIDE_HINT_MEMBERS

  bool GetInterface(const GUID& iid, void** obj) override;
  TButtonGlyph* GetButtonGlyph() override { return ButtonGlyph(); }
  void UpdateInternalGlyphList() override;

  UC_STANDARD_OVERRIDES

protected:
  void Paint() override;
  virtual void PaintButton();
  void CMDialogChar(TMessage& m);
  void CMHintShow(TMessage& m);

  bool FPaintInherited = false;
};

class TUcBitBtn : public TBitBtn, public IUcGlyphButton {
  CL_CLASS(TUcBitBtn, TBitBtn)
  CL_DECLARE_MESSAGE_MAP(TUcBitBtn)
public:
  explicit TUcBitBtn(TComponent* owner) : TBitBtn(owner) {}

  WideString Caption() { return UcControl_GetText(this); }
  void SetCaption(const WideString& value) { UcControl_SetText(this, value); }
  WideString Text() { return UcControl_GetText(this); }
  void SetText(const WideString& value) { UcControl_SetText(this, value); }
  // A stock kind's caption is not stored; a custom button's as a button's.
  bool IsCaptionStored();

  bool GetInterface(const GUID& iid, void** obj) override;
  TButtonGlyph* GetButtonGlyph() override { return ButtonGlyph(); }
  void UpdateInternalGlyphList() override;
  bool UcMouseInControl() const { return FUcMouseInControl; }

  UC_WIDE_WINDOW_MEMBERS
  void DrawItem(const DRAWITEMSTRUCT& dis) override;
  void CNDrawItem(TMessage& m);
  void CMDialogChar(TMessage& m);
  void CMMouseEnter(TMessage& m);
  void CMMouseLeave(TMessage& m);

  bool FPaintInherited = false;
  bool FUcMouseInControl = false;
};

void UnitInit_UcButtons();
void UnitFini_UcButtons();
