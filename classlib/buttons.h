// Buttons with glyphs: the windowless speed button, the owner-drawn bitmap
// button, and the glyph object both draw with.
#pragma once

#include "imglist.h"
#include "stdctrls.h"

#include <functional>

enum TButtonLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState : uint8_t { bsUp, bsDisabled, bsDown, bsExclusive };
using TNumGlyphs = int;  // 1..4

// The glyph of a button: a bitmap holding up to four images side by side
// (up, disabled, down, exclusive), turned into masked images of an image
// list on first use. Public so that other button classes can draw with it.
// Places a glyph of glyphSize and a text already measured into textBounds
// (its width and height; DT_CALCRECT) inside client: the layout arithmetic that
// the plain and the wide buttons share. textBounds comes back in client
// coordinates, shifted by offset like glyphPos.
void PlaceButtonGlyphAndText(const TRect& client, const TPoint& offset, const TPoint& glyphSize,
                             TButtonLayout layout, int margin, int spacing, TPoint& glyphPos, TRect& textBounds,
                             int biDiFlags);

class TButtonGlyph : public TObject {
  CL_CLASS(TButtonGlyph, TObject)
public:
  TButtonGlyph();
  ~TButtonGlyph() override;
  TButtonGlyph(const TButtonGlyph&) = delete;
  TButtonGlyph& operator=(const TButtonGlyph&) = delete;

  TBitmap* Glyph() const { return FOriginal; }
  // Copies the bitmap; its number of images follows from its shape when the
  // width is a multiple (2 to 4) of the height.
  void SetGlyph(TBitmap* v);
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int v);
  // The colour that is see-through in the glyph: its bottom-left pixel.
  TColor TransparentColor() const { return FTransparentColor; }
  // The images made so far (null until the first).
  TImageList* GlyphList() const { return FGlyphList; }
  // The image of a state in GlyphList, or -1 while it is not made.
  int ImageIndex(TButtonState state) const { return FIndexes[state]; }
  // Drops the made images (after a colour or glyph change).
  void Invalidate();

  // Makes the image of the state (a down state without an own image uses the
  // up image; a disabled one without an own image is embossed from it).
  int CreateButtonGlyph(TButtonState state);
  void DrawButtonGlyph(TCanvas* canvas, const TPoint& pos, TButtonState state, bool transparent);
  void DrawButtonText(TCanvas* canvas, const AnsiString& caption, TRect textBounds, TButtonState state,
                      int biDiFlags);
  // Where glyph and caption go inside client (see TButtonLayout, margin and
  // spacing; -1 = computed).
  void CalcButtonLayout(TCanvas* canvas, const TRect& client, const TPoint& offset, const AnsiString& caption,
                        TButtonLayout layout, int margin, int spacing, TPoint& glyphPos, TRect& textBounds,
                        int biDiFlags);
  // Lays out and draws glyph and caption; returns the caption's rectangle.
  TRect Draw(TCanvas* canvas, const TRect& client, const TPoint& offset, const AnsiString& caption,
             TButtonLayout layout, int margin, int spacing, TButtonState state, bool transparent, int biDiFlags);

  TNotifyEvent OnChange;

private:
  void GlyphChanged(TObject* sender);
  TBitmap* FOriginal;
  TImageList* FGlyphList = nullptr;
  int FIndexes[4] = {-1, -1, -1, -1};
  TColor FTransparentColor = clOlive;
  int FNumGlyphs = 1;
  bool FUpdating = false;
};

// Stores value in field and repaints the control when it changes.
template <class T> void SetAndRepaint(TControl* control, T& field, T value) {
  if (field == value) return;
  field = value;
  control->Invalidate();
}

// The glyph and placement properties of both glyph buttons (members FGlyph,
// FLayout, FMargin, FSpacing, FMouseInControl); a change repaints the button.
// A margin below -1 (-1: centred) is refused.
#define CL_GLYPH_BUTTON_PROPERTIES                                     \
  TBitmap* Glyph() const { return FGlyph->Glyph(); }                   \
  void SetGlyph(TBitmap* v) { FGlyph->SetGlyph(v); }                   \
  int NumGlyphs() const { return FGlyph->NumGlyphs(); }                \
  void SetNumGlyphs(int v) { FGlyph->SetNumGlyphs(v); }                \
  TButtonLayout Layout() const { return FLayout; }                     \
  void SetLayout(TButtonLayout v) { SetAndRepaint(this, FLayout, v); } \
  int Margin() const { return FMargin; }                               \
  void SetMargin(int v) {                                              \
    if (v >= -1) SetAndRepaint(this, FMargin, v);                      \
  }                                                                    \
  int Spacing() const { return FSpacing; }                             \
  void SetSpacing(int v) { SetAndRepaint(this, FSpacing, v); }         \
  TButtonGlyph* ButtonGlyph() const { return FGlyph; }                 \
  bool MouseInControl() const { return FMouseInControl; }

class TSpeedButton : public TGraphicControl {
  CL_CLASS(TSpeedButton, TGraphicControl)
  CL_DECLARE_MESSAGE_MAP(TSpeedButton)
public:
  explicit TSpeedButton(TComponent* owner);
  ~TSpeedButton() override;

  CL_GLYPH_BUTTON_PROPERTIES
  bool Flat() const { return FFlat; }
  void SetFlat(bool v);
  // Only a button of a group (GroupIndex not 0) stays down.
  bool Down() const { return FDown; }
  void SetDown(bool v);
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int v);
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool v);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  TButtonState State() const { return FState; }

  void Click() override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  const TMetaClass* GetActionLinkClass() override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  // Tells the other buttons of the group (CM_BUTTONPRESSED through the parent).
  void UpdateExclusive();
  void GlyphChanged(TObject* sender);

  void CMButtonPressed(TMessage& m);
  void CMDialogChar(TMessage& m);
  void CMEnabledChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMTextChanged(TMessage& m);
  void CMSysColorChange(TMessage& m);
  void CMMouseEnter(TMessage& m);
  void CMMouseLeave(TMessage& m);

  TButtonGlyph* FGlyph;
  TButtonLayout FLayout = blGlyphLeft;
  int FMargin = -1;
  int FSpacing = 4;
  int FGroupIndex = 0;
  TButtonState FState = bsUp;
  bool FFlat = false;
  bool FDown = false;
  bool FAllowAllUp = false;
  bool FTransparent = true;
  bool FDragging = false;
  bool FMouseInControl = false;
};

class TSpeedButtonActionLink : public TControlActionLink {
  CL_CLASS(TSpeedButtonActionLink, TControlActionLink)
public:
  using TControlActionLink::TControlActionLink;
  bool IsCheckedLinked() override;
  virtual bool IsGroupIndexLinked();
  void SetChecked(bool value) override;
  virtual void SetGroupIndex(int value);

protected:
  void AssignClient(TObject* client) override;
  TSpeedButton* FButton = nullptr;
};

enum TBitBtnKind : uint8_t { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };

// A push button drawn by the library (owner-draw) with a glyph beside its caption.
class TBitBtn : public TButton {
  CL_CLASS(TBitBtn, TButton)
  CL_DECLARE_MESSAGE_MAP(TBitBtn)
public:
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;

  CL_GLYPH_BUTTON_PROPERTIES
  // A kind other than bkCustom sets the caption and modal result of that kind.
  TBitBtnKind Kind() const { return FKind; }
  void SetKind(TBitBtnKind v);

protected:
  void CreateParams(TCreateParams& params) override;
  void SetButtonStyle(bool isDefault) override;
  virtual void DrawItem(const DRAWITEMSTRUCT& dis);
  // The owner-drawn face on dis's device context: frame, pushed look and
  // focus rectangle around drawContent(rect, state), which draws the glyph
  // and the caption.
  void DrawFace(const DRAWITEMSTRUCT& dis, const std::function<void(const TRect&, TButtonState)>& drawContent);
  void GlyphChanged(TObject* sender);

  void CNDrawItem(TMessage& m);
  void CNMeasureItem(TMessage& m);
  void CMMouseEnter(TMessage& m);
  void CMMouseLeave(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMEnabledChanged(TMessage& m);
  void CMSysColorChange(TMessage& m);
  void WMLButtonDblClk(TMessage& m);

  TCanvas* FCanvas;
  TButtonGlyph* FGlyph;
  TButtonLayout FLayout = blGlyphLeft;
  int FMargin = -1;
  int FSpacing = 4;
  TBitBtnKind FKind = bkCustom;
  bool FIsFocused = false;
  bool FMouseInControl = false;
};

void UnitInit_buttons();
void UnitFini_buttons();
