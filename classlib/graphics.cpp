#include "graphics.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

// jpeglib.h uses FILE and size_t without including their headers.
#include <jpeglib.h>

int ScreenLogPixels = 96;

CL_DEFINE_CLASS(EInvalidGraphic, Exception)
CL_DEFINE_CLASS(EInvalidGraphicOperation, Exception)

// ---------------------------------------------------------------------------
// Colours and character sets by name.

namespace {
using TIdentEntry = TIdentMapEntry;

const TIdentEntry ColorNames[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"}, {clOlive, "clOlive"},
    {clNavy, "clNavy"}, {clPurple, "clPurple"}, {clTeal, "clTeal"}, {clGray, "clGray"},
    {clSilver, "clSilver"}, {clRed, "clRed"}, {clLime, "clLime"}, {clYellow, "clYellow"},
    {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"}, {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"}, {clSkyBlue, "clSkyBlue"}, {clCream, "clCream"}, {clMedGray, "clMedGray"},
    {clLtGray, "clLtGray"}, {clDkGray, "clDkGray"},
    {clScrollBar, "clScrollBar"}, {clBackground, "clBackground"}, {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"}, {clMenu, "clMenu"}, {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"}, {clMenuText, "clMenuText"}, {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"}, {clActiveBorder, "clActiveBorder"}, {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"}, {clHighlight, "clHighlight"}, {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"}, {clBtnShadow, "clBtnShadow"}, {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"}, {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"}, {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"}, {clInfoBk, "clInfoBk"}, {clNone, "clNone"}, {clDefault, "clDefault"},
};

const TIdentEntry CharsetNames[] = {
    {ANSI_CHARSET, "ANSI_CHARSET"}, {DEFAULT_CHARSET, "DEFAULT_CHARSET"}, {SYMBOL_CHARSET, "SYMBOL_CHARSET"},
    {MAC_CHARSET, "MAC_CHARSET"}, {SHIFTJIS_CHARSET, "SHIFTJIS_CHARSET"}, {HANGEUL_CHARSET, "HANGEUL_CHARSET"},
    {JOHAB_CHARSET, "JOHAB_CHARSET"}, {GB2312_CHARSET, "GB2312_CHARSET"},
    {CHINESEBIG5_CHARSET, "CHINESEBIG5_CHARSET"}, {GREEK_CHARSET, "GREEK_CHARSET"},
    {TURKISH_CHARSET, "TURKISH_CHARSET"}, {VIETNAMESE_CHARSET, "VIETNAMESE_CHARSET"},
    {HEBREW_CHARSET, "HEBREW_CHARSET"}, {ARABIC_CHARSET, "ARABIC_CHARSET"}, {BALTIC_CHARSET, "BALTIC_CHARSET"},
    {RUSSIAN_CHARSET, "RUSSIAN_CHARSET"}, {THAI_CHARSET, "THAI_CHARSET"},
    {EASTEUROPE_CHARSET, "EASTEUROPE_CHARSET"}, {OEM_CHARSET, "OEM_CHARSET"},
};

template <size_t N>
bool IdentToValue(const TIdentEntry (&table)[N], const AnsiString& ident, int& value) {
  for (const TIdentEntry& e : table)
    if (SameText(ident, e.Name)) {
      value = e.Value;
      return true;
    }
  return false;
}

template <size_t N>
bool ValueToIdent(const TIdentEntry (&table)[N], int value, AnsiString& ident) {
  for (const TIdentEntry& e : table)
    if (e.Value == value) {
      ident = e.Name;
      return true;
    }
  return false;
}
}  // namespace

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color);
}

bool IdentToColor(const AnsiString& ident, int& color) { return IdentToValue(ColorNames, ident, color); }
bool ColorToIdent(int color, AnsiString& ident) { return ValueToIdent(ColorNames, color, ident); }

AnsiString ColorToString(TColor color) {
  AnsiString s;
  if (ColorToIdent(color, s)) return s;
  return "$" + IntToHex(static_cast<uint32_t>(color), 8);
}

TColor StringToColor(const AnsiString& s) {
  int v = 0;
  if (IdentToColor(s, v)) return v;
  return StrToInt(s);
}

bool IdentToCharset(const AnsiString& ident, int& charset) { return IdentToValue(CharsetNames, ident, charset); }
TPropType ColorPropType() { return TPropType::Integer(ColorNames); }
TPropType CharsetPropType() { return TPropType::Integer(CharsetNames); }
bool CharsetToIdent(int charset, AnsiString& ident) { return ValueToIdent(CharsetNames, charset, ident); }

// ---------------------------------------------------------------------------
// The handle cache: one GDI object per distinct set of values.

namespace {
struct TCachedHandle {
  HGDIOBJ Handle;
  int Refs;
};
struct THandleCache {
  std::map<std::string, TCachedHandle> ByKey;
  std::map<HGDIOBJ, std::string> ByHandle;
};
THandleCache* HandleCache = nullptr;

struct TPatternEntry {
  TColor Bk, Fg;
  TBitmap* Bitmap;
};
std::vector<TPatternEntry>* PatternBitmaps = nullptr;

struct TGraphicFormat {
  AnsiString Extension;  // lower case, without the dot
  const TMetaClass* Class;
  TGraphicFactory Factory;
};
std::vector<TGraphicFormat>* GraphicFormats = nullptr;

void ReleaseGdiHandle(HGDIOBJ h) {
  if (!h) return;
  if (HandleCache) {
    auto it = HandleCache->ByHandle.find(h);
    if (it != HandleCache->ByHandle.end()) {
      auto k = HandleCache->ByKey.find(it->second);
      if (--k->second.Refs == 0) {
        DeleteObject(h);
        HandleCache->ByKey.erase(k);
        HandleCache->ByHandle.erase(it);
      }
      return;
    }
  }
  DeleteObject(h);
}
}  // namespace

CL_DEFINE_CLASS(TGraphicsObject, TPersistent)

TGraphicsObject::~TGraphicsObject() { ReleaseHandle(); }

void TGraphicsObject::ReleaseHandle() {
  HGDIOBJ h = FHandle;
  FHandle = nullptr;
  ReleaseGdiHandle(h);
}

void TGraphicsObject::Changed() {
  HGDIOBJ old = FHandle;
  FHandle = nullptr;
  if (OnChange) OnChange(this);
  ReleaseGdiHandle(old);
}

HGDIOBJ TGraphicsObject::CachedHandle(const void* key, size_t keySize, HGDIOBJ (*make)(const void* key)) {
  if (!HandleCache) return make(key);
  std::string k(static_cast<const char*>(key), keySize);
  auto it = HandleCache->ByKey.find(k);
  if (it != HandleCache->ByKey.end()) {
    ++it->second.Refs;
    return it->second.Handle;
  }
  HGDIOBJ h = make(key);
  if (!h) throw EOutOfResources("Out of system resources");
  HandleCache->ByKey[k] = {h, 1};
  HandleCache->ByHandle[h] = k;
  return h;
}

// ---------------------------------------------------------------------------
// TFont

CL_DEFINE_CLASS(TFont, TGraphicsObject)

namespace {
// A constant buffer, so no constructor runs before the units start.
char DefaultFontNameBuffer[LF_FACESIZE] = "MS Sans Serif";
}  // namespace

AnsiString DefaultFontName() { return AnsiString(DefaultFontNameBuffer); }

void SetDefaultFontName(const AnsiString& name) {
  lstrcpynA(DefaultFontNameBuffer, name.c_str(), LF_FACESIZE);
}

TFont::TFont()
    : FName(DefaultFontNameBuffer), FHeight(-MulDiv(8, ScreenLogPixels, 72)), FPixelsPerInch(ScreenLogPixels) {}

void TFont::Assign(TPersistent* source) {
  if (source && source->Is<TFont>()) {
    TFont* f = static_cast<TFont*>(source);
    if (f == this) return;
    FName = f->FName;
    // The size in points is what carries over between devices.
    FHeight = f->FPixelsPerInch == FPixelsPerInch ? f->FHeight : -MulDiv(f->Size(), FPixelsPerInch, 72);
    FStyle = f->FStyle;
    FColor = f->FColor;
    FCharset = f->FCharset;
    FPitch = f->FPitch;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONTA lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfHeight = FHeight;
    lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (FStyle & fsItalic) ? 1 : 0;
    lf.lfUnderline = (FStyle & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (FStyle & fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = FCharset;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = FPitch == fpFixed ? FIXED_PITCH : FPitch == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    lstrcpynA(lf.lfFaceName, FName.c_str(), LF_FACESIZE);
    FHandle = CachedHandle(&lf, sizeof lf, [](const void* k) -> HGDIOBJ {
      return CreateFontIndirectA(static_cast<const LOGFONTA*>(k));
    });
  }
  return static_cast<HFONT>(FHandle);
}

void TFont::SetHandle(HFONT font) {
  LOGFONTA lf;
  if (!font || GetObjectA(font, sizeof lf, &lf) == 0) return;
  FName = lf.lfFaceName;
  FHeight = lf.lfHeight;
  FStyle = (lf.lfWeight >= FW_BOLD ? fsBold : 0) | (lf.lfItalic ? fsItalic : 0) |
           (lf.lfUnderline ? fsUnderline : 0) | (lf.lfStrikeOut ? fsStrikeOut : 0);
  FCharset = lf.lfCharSet;
  int pitch = lf.lfPitchAndFamily & 3;
  FPitch = pitch == FIXED_PITCH ? fpFixed : pitch == VARIABLE_PITCH ? fpVariable : fpDefault;
  Changed();
}

void TFont::SetName(const AnsiString& v) {
  if (!v.IsEmpty()) ChangeValue(FName, v);
}

void TFont::SetHeight(int v) { ChangeValue(FHeight, v); }

int TFont::Size() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(int v) { SetHeight(-MulDiv(v, FPixelsPerInch, 72)); }

void TFont::SetStyle(TFontStyles v) { ChangeValue(FStyle, v); }

void TFont::SetColor(TColor v) { ChangeValue(FColor, v); }

void TFont::SetCharset(TFontCharset v) { ChangeValue(FCharset, v); }

void TFont::SetPitch(TFontPitch v) { ChangeValue(FPitch, v); }

// ---------------------------------------------------------------------------
// TPen

CL_DEFINE_CLASS(TPen, TGraphicsObject)

void TPen::Assign(TPersistent* source) {
  if (source && source->Is<TPen>()) {
    TPen* p = static_cast<TPen*>(source);
    if (p == this) return;
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    FMode = p->FMode;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

HPEN TPen::Handle() {
  if (!FHandle) {
    LOGPEN lp;
    std::memset(&lp, 0, sizeof lp);
    lp.lopnStyle = FStyle;  // psSolid..psInsideFrame are PS_SOLID..PS_INSIDEFRAME
    lp.lopnWidth.x = FWidth;
    lp.lopnColor = ColorToRGB(FColor);
    FHandle = CachedHandle(&lp, sizeof lp, [](const void* k) -> HGDIOBJ {
      return CreatePenIndirect(static_cast<const LOGPEN*>(k));
    });
  }
  return static_cast<HPEN>(FHandle);
}

void TPen::SetColor(TColor v) { ChangeValue(FColor, v); }

void TPen::SetWidth(int v) {
  if (v >= 0) ChangeValue(FWidth, v);
}

void TPen::SetStyle(TPenStyle v) { ChangeValue(FStyle, v); }

void TPen::SetMode(TPenMode v) { ChangeValue(FMode, v); }

// ---------------------------------------------------------------------------
// TBrush

CL_DEFINE_CLASS(TBrush, TGraphicsObject)

TBrush::~TBrush() = default;

void TBrush::Assign(TPersistent* source) {
  if (source && source->Is<TBrush>()) {
    TBrush* b = static_cast<TBrush*>(source);
    if (b == this) return;
    FColor = b->FColor;
    FStyle = b->FStyle;
    FBitmap = b->FBitmap;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

HBRUSH TBrush::Handle() {
  if (!FHandle) {
    if (FBitmap && !FBitmap->Empty()) {
      // A pattern brush copies the bitmap; its handle is not shared.
      FHandle = CreatePatternBrush(FBitmap->Handle());
      if (!FHandle) throw EOutOfResources("Out of system resources");
    } else {
      LOGBRUSH lb;
      std::memset(&lb, 0, sizeof lb);
      lb.lbColor = ColorToRGB(FColor);
      if (FStyle == bsSolid) {
        lb.lbStyle = BS_SOLID;
      } else if (FStyle == bsClear) {
        lb.lbStyle = BS_HOLLOW;
        lb.lbColor = 0;
      } else {
        lb.lbStyle = BS_HATCHED;
        lb.lbHatch = FStyle - bsHorizontal;  // HS_HORIZONTAL..HS_DIAGCROSS
      }
      FHandle = CachedHandle(&lb, sizeof lb, [](const void* k) -> HGDIOBJ {
        return CreateBrushIndirect(static_cast<const LOGBRUSH*>(k));
      });
    }
  }
  return static_cast<HBRUSH>(FHandle);
}

void TBrush::SetColor(TColor v) {
  if (v == FColor) return;
  FColor = v;
  if (v == clNone)
    FStyle = bsClear;
  else if (FStyle == bsClear)
    FStyle = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle v) { ChangeValue(FStyle, v); }

void TBrush::SetBitmap(TBitmap* v) { ChangeValue(FBitmap, v); }

// ---------------------------------------------------------------------------
// TCanvas

CL_DEFINE_CLASS(TCanvas, TPersistent)

namespace {
const int PenModes[] = {R2_BLACK,       R2_WHITE,       R2_NOP,      R2_NOT,         R2_COPYPEN,    R2_NOTCOPYPEN,
                        R2_MERGEPENNOT, R2_MASKPENNOT,  R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN, R2_NOTMERGEPEN,
                        R2_MASKPEN,     R2_NOTMASKPEN,  R2_XORPEN,   R2_NOTXORPEN};
}

TCanvas::TCanvas() : FFont(new TFont), FPen(new TPen), FBrush(new TBrush) {
  FFont->OnChange = MakeEvent<&TCanvas::FontChanged>(this);
  FPen->OnChange = MakeEvent<&TCanvas::PenChanged>(this);
  FBrush->OnChange = MakeEvent<&TCanvas::BrushChanged>(this);
}

TCanvas::~TCanvas() {
  SetHandle(nullptr);
  delete FFont;
  delete FPen;
  delete FBrush;
}

HDC TCanvas::Handle() {
  RequiredState(csHandleValid);
  return FHandle;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == FHandle) return;
  if (FHandle) {
    DeselectHandles();
    FHandle = nullptr;
    FState &= ~csHandleValid;
  }
  if (dc) {
    FHandle = dc;
    FState |= csHandleValid;
  }
}

void TCanvas::RequiredState(TCanvasState state) {
  TCanvasState needed = state & ~FState;
  if (!needed) return;
  if (needed & csHandleValid) {
    CreateHandle();
    if (!FHandle) throw EInvalidOperation("Canvas does not allow drawing");
  }
  if (needed & csFontValid) CreateFont();
  if (needed & csPenValid) CreatePen();
  if (needed & csBrushValid) CreateBrush();
  FState |= needed;
}

void TCanvas::CreateFont() {
  HGDIOBJ old = SelectObject(FHandle, FFont->Handle());
  if (!FOrigFont) FOrigFont = old;
  SetTextColor(FHandle, ColorToRGB(FFont->Color()));
}

void TCanvas::CreatePen() {
  HGDIOBJ old = SelectObject(FHandle, FPen->Handle());
  if (!FOrigPen) FOrigPen = old;
  SetROP2(FHandle, PenModes[FPen->Mode()]);
}

void TCanvas::CreateBrush() {
  UnrealizeObject(FBrush->Handle());
  HGDIOBJ old = SelectObject(FHandle, FBrush->Handle());
  if (!FOrigBrush) FOrigBrush = old;
  if (FBrush->Style() == bsSolid) {
    SetBkColor(FHandle, ColorToRGB(FBrush->Color()));
    SetBkMode(FHandle, OPAQUE);
  } else {
    SetBkColor(FHandle, ~ColorToRGB(FBrush->Color()) & 0xFFFFFF);
    SetBkMode(FHandle, TRANSPARENT);
  }
}

void TCanvas::DeselectHandles() {
  if (!FHandle) return;
  if ((FState & csFontValid) && FOrigFont) SelectObject(FHandle, FOrigFont);
  if ((FState & csPenValid) && FOrigPen) SelectObject(FHandle, FOrigPen);
  if ((FState & csBrushValid) && FOrigBrush) SelectObject(FHandle, FOrigBrush);
  FOrigFont = FOrigPen = FOrigBrush = nullptr;
  FState &= ~(csFontValid | csPenValid | csBrushValid);
}

void TCanvas::Refresh() { DeselectHandles(); }

void TCanvas::FontChanged(TObject*) {
  if (FState & csFontValid) {
    if (FOrigFont) SelectObject(FHandle, FOrigFont);
    FOrigFont = nullptr;
    FState &= ~csFontValid;
  }
}

void TCanvas::PenChanged(TObject*) {
  if (FState & csPenValid) {
    if (FOrigPen) SelectObject(FHandle, FOrigPen);
    FOrigPen = nullptr;
    FState &= ~csPenValid;
  }
}

void TCanvas::BrushChanged(TObject*) {
  if (FState & csBrushValid) {
    if (FOrigBrush) SelectObject(FHandle, FOrigBrush);
    FOrigBrush = nullptr;
    FState &= ~csBrushValid;
  }
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

TPoint TCanvas::PenPos() {
  RequiredState(csHandleValid);
  POINT p{};
  GetCurrentPositionEx(FHandle, &p);
  return TPoint(p);
}

TRect TCanvas::ClipRect() {
  RequiredState(csHandleValid);
  RECT r{};
  GetClipBox(FHandle, &r);
  return TRect(r);
}

void TCanvas::MoveTo(int x, int y) {
  RequiredState(csHandleValid);
  MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::LineTo(FHandle, x, y);
  Changed();
}

void TCanvas::Polyline(const TPoint* points, int count) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Polyline(FHandle, points, count);
  Changed();
}

void TCanvas::Polygon(const TPoint* points, int count) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Polygon(FHandle, points, count);
  Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Rectangle(FHandle, x1, y1, x2, y2);
  Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::RoundRect(FHandle, x1, y1, x2, y2, x3, y3);
  Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Ellipse(FHandle, x1, y1, x2, y2);
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FillRect(FHandle, &r, FBrush->Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FrameRect(FHandle, &r, FBrush->Handle());
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::DrawFocusRect(FHandle, &r);
  Changed();
}

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  ExtTextOutA(FHandle, x, y, FTextFlags, nullptr, text.c_str(), text.Length(), nullptr);
  MoveTo(x + TextWidth(text), y);
  Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const AnsiString& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  UINT options = ETO_CLIPPED | FTextFlags;
  if (FBrush->Style() != bsClear) options |= ETO_OPAQUE;
  ExtTextOutA(FHandle, x, y, options, &r, text.c_str(), text.Length(), nullptr);
  Changed();
}

TSize TCanvas::TextExtent(const AnsiString& text) {
  RequiredState(csHandleValid | csFontValid);
  SIZE s{0, 0};
  GetTextExtentPoint32A(FHandle, text.c_str(), text.Length(), &s);
  return s;
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  RequiredState(csHandleValid);
  graphic->Draw(this, Bounds(x, y, graphic->Width(), graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  RequiredState(csHandleValid);
  graphic->Draw(this, r);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& src) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  source->RequiredState(csHandleValid | csFontValid | csBrushValid);
  StretchBlt(FHandle, dest.left, dest.top, dest.Width(), dest.Height(), source->FHandle, src.left, src.top,
             src.Width(), src.Height(), FCopyMode);
  Changed();
}

TColor TCanvas::Pixels(int x, int y) {
  RequiredState(csHandleValid);
  COLORREF c = GetPixel(FHandle, x, y);
  return c == CLR_INVALID ? clNone : static_cast<TColor>(c);
}

void TCanvas::SetPixels(int x, int y, TColor c) {
  Changing();
  RequiredState(csHandleValid | csPenValid);
  SetPixel(FHandle, x, y, ColorToRGB(c));
  Changed();
}

void TCanvas::Lock() { ++FLockCount; }

void TCanvas::Unlock() {
  if (FLockCount > 0) --FLockCount;
}

bool TCanvas::TryLock() {
  ++FLockCount;
  return true;
}

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
  TPen* pen = canvas->Pen();
  pen->SetWidth(1);
  --rect.bottom;
  --rect.right;
  while (width-- > 0) {
    pen->SetColor(topColor);
    TPoint topLeft[3] = {TPoint(rect.left, rect.bottom), TPoint(rect.left, rect.top), TPoint(rect.right, rect.top)};
    canvas->Polyline(topLeft, 3);
    pen->SetColor(bottomColor);
    // The bottom line reaches one pixel further left so the corner is closed.
    TPoint bottomRight[3] = {TPoint(rect.right, rect.top), TPoint(rect.right, rect.bottom),
                             TPoint(rect.left - 1, rect.bottom)};
    canvas->Polyline(bottomRight, 3);
    InflateRect(&rect, -1, -1);
  }
  ++rect.bottom;
  ++rect.right;
}

TBitmap* AllocPatternBitmap(TColor bkColor, TColor fgColor) {
  if (!PatternBitmaps) throw EInvalidOperation("The graphics unit is not started");
  for (const TPatternEntry& e : *PatternBitmaps)
    if (e.Bk == bkColor && e.Fg == fgColor) return e.Bitmap;
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(8, 8);
  std::vector<uint8_t> px(8 * 8 * 3);
  COLORREF bk = ColorToRGB(bkColor), fg = ColorToRGB(fgColor);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      COLORREF c = ((x + y) & 1) ? fg : bk;
      uint8_t* p = &px[(y * 8 + x) * 3];
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  bmp->SetBGR24(8, 8, px.data());
  PatternBitmaps->push_back({bkColor, fgColor, bmp.get()});
  return bmp.release();
}

// ---------------------------------------------------------------------------
// TGraphic and the format table

CL_DEFINE_CLASS(TGraphic, TPersistent)

void TGraphic::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  Changed();
}

void TGraphic::SetModified(bool v) {
  if (v)
    Changed();
  else
    FModified = false;
}

void TGraphic::Changed() {
  FModified = true;
  if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TGraphic::SaveToFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

void TGraphic::LoadFromResourceName(HINSTANCE instance, const AnsiString& name) {
  TResourceStream stream(instance, name, RT_RCDATA);
  LoadFromStream(&stream);
}

void RegisterGraphicFormat(const AnsiString& extension, const TMetaClass* cls, TGraphicFactory factory) {
  if (!GraphicFormats) throw EInvalidOperation("The graphics unit is not started");
  AnsiString ext = LowerCase(extension);
  if (!ext.IsEmpty() && ext[1] == '.') ext.Delete(1, 1);
  for (TGraphicFormat& f : *GraphicFormats)
    if (f.Extension == ext) {
      f.Class = cls;
      f.Factory = factory;
      return;
    }
  GraphicFormats->push_back({ext, cls, factory});
}

TGraphic* NewGraphicOf(const TMetaClass* cls) {
  if (GraphicFormats)
    for (const TGraphicFormat& f : *GraphicFormats)
      if (f.Class == cls) return f.Factory();
  throw EInvalidGraphic(Format("Unknown picture class %s", {AnsiString(cls ? cls->Name : "nil")}));
}

namespace {
TGraphicFactory FactoryForExtension(const AnsiString& ext) {
  if (GraphicFormats)
    for (const TGraphicFormat& f : *GraphicFormats)
      if (f.Extension == ext) return f.Factory;
  return nullptr;
}

// The stream's remaining bytes.
std::vector<uint8_t> ReadRest(TStream* stream) {
  int64_t n = stream->Size() - stream->Position();
  if (n < 0) n = 0;
  if (n > 0x7FFFFFFF) throw EInvalidGraphic("Picture data is too large");
  std::vector<uint8_t> buf(static_cast<size_t>(n));
  if (n) stream->ReadBuffer(buf.data(), static_cast<int32_t>(n));
  return buf;
}

// Screen DC for the DIB calls, released at scope exit.
struct TScreenDC {
  HDC DC = GetDC(nullptr);
  ~TScreenDC() { ReleaseDC(nullptr, DC); }
};

struct TMemDC {
  HDC DC = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = nullptr;
  explicit TMemDC(HGDIOBJ select = nullptr) {
    if (select) Old = SelectObject(DC, select);
  }
  ~TMemDC() {
    if (Old) SelectObject(DC, Old);
    DeleteDC(DC);
  }
};

// Pixel counts beyond this are refused instead of asking for gigabytes.
constexpr int64_t MaxPixels = int64_t(1) << 26;
constexpr int MaxSide = 32767;

int BitsOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

int StrideOf(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

struct TBitmapInfo256 {
  BITMAPINFOHEADER Header;
  RGBQUAD Colors[256];
};

// The palette of new palette bitmaps; the last entry is white, so that filling
// the bits with 0xFF gives a white picture at every depth.
void FillDefaultPalette(TBitmapInfo256& bi, int bits) {
  if (bits == 1) {
    bi.Colors[0] = {0, 0, 0, 0};
    bi.Colors[1] = {255, 255, 255, 0};
  } else if (bits == 4) {
    static const COLORREF vga[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                     0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF,
                                     0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    for (int i = 0; i < 16; ++i)
      bi.Colors[i] = {GetBValue(vga[i]), GetGValue(vga[i]), GetRValue(vga[i]), 0};
  } else if (bits == 8) {
    // A 6x6x6 colour cube, then greys up to white.
    int i = 0;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          bi.Colors[i++] = {static_cast<BYTE>(b * 51), static_cast<BYTE>(g * 51), static_cast<BYTE>(r * 51), 0};
    for (int k = 0; i < 256; ++i, ++k) {
      BYTE v = static_cast<BYTE>(k * 255 / 39);
      bi.Colors[i] = {v, v, v, 0};
    }
  }
}

HBITMAP CreateSection(const BITMAPINFO* info, void** bits) {
  TScreenDC screen;
  HBITMAP h = CreateDIBSection(screen.DC, info, DIB_RGB_COLORS, bits, nullptr, 0);
  if (!h) throw EOutOfResources("Out of system resources");
  return h;
}

TPixelFormat FormatOfSection(HBITMAP h) {
  DIBSECTION ds;
  if (GetObjectA(h, sizeof ds, &ds) != sizeof ds) return pfDevice;
  switch (ds.dsBm.bmBitsPixel) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return (ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[1] == 0x07E0) ? pf16bit : pf15bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
  }
}
}  // namespace

HBITMAP NewDIBSection(int width, int height, TPixelFormat format) {
  if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide || int64_t(width) * height > MaxPixels)
    throw EInvalidGraphic("Invalid bitmap size");
  TBitmapInfo256 bi;
  std::memset(&bi, 0, sizeof bi);
  int bits = BitsOf(format);
  bi.Header.biSize = sizeof(BITMAPINFOHEADER);
  bi.Header.biWidth = width;
  bi.Header.biHeight = height;
  bi.Header.biPlanes = 1;
  bi.Header.biBitCount = static_cast<WORD>(bits);
  bi.Header.biCompression = BI_RGB;
  if (format == pf16bit) {
    bi.Header.biCompression = BI_BITFIELDS;
    DWORD* masks = reinterpret_cast<DWORD*>(bi.Colors);
    masks[0] = 0xF800;
    masks[1] = 0x07E0;
    masks[2] = 0x001F;
  }
  if (bits <= 8) {
    bi.Header.biClrUsed = 1u << bits;
    FillDefaultPalette(bi, bits);
  }
  void* pixels = nullptr;
  HBITMAP h = CreateSection(reinterpret_cast<BITMAPINFO*>(&bi), &pixels);
  std::memset(pixels, 0xFF, static_cast<size_t>(StrideOf(width, bits)) * height);
  return h;
}

// ---------------------------------------------------------------------------
// TBitmap

CL_DEFINE_CLASS(TBitmapCanvas, TCanvas)
CL_DEFINE_CLASS(TBitmap, TGraphic)

TBitmapCanvas::~TBitmapCanvas() { FreeContext(); }

void TBitmapCanvas::CreateHandle() {
  if (FMemDC) return;
  FMemDC = CreateCompatibleDC(nullptr);
  if (!FMemDC) throw EOutOfResources("Out of system resources");
  if (FBitmap->FHandle) FOldBitmap = SelectObject(FMemDC, FBitmap->FHandle);
  SetHandle(FMemDC);
}

void TBitmapCanvas::FreeContext() {
  if (!FMemDC) return;
  SetHandle(nullptr);
  if (FOldBitmap) SelectObject(FMemDC, FOldBitmap);
  FOldBitmap = nullptr;
  DeleteDC(FMemDC);
  FMemDC = nullptr;
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  delete FCanvas;
  if (FHandle) DeleteObject(FHandle);
}

void TBitmap::NewImage(HBITMAP bitmap) {
  if (FCanvas) FCanvas->FreeContext();
  if (FHandle && FHandle != bitmap) DeleteObject(FHandle);
  FHandle = bitmap;
  FWidth = FHeight = 0;
  if (bitmap) {
    BITMAP bm;
    if (GetObjectA(bitmap, sizeof bm, &bm)) {
      FWidth = bm.bmWidth;
      FHeight = bm.bmHeight;
    }
  }
}

void TBitmap::CanvasChanged(TObject*) { Changed(); }

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) {
    FCanvas = new TBitmapCanvas(this);
    FCanvas->OnChange = MakeEvent<&TBitmap::CanvasChanged>(this);
  }
  return FCanvas;
}

HBITMAP TBitmap::Handle() {
  // A bitmap selected into the canvas's DC cannot be selected anywhere else
  // (image lists, pattern brushes): the canvas gives it back unless locked.
  if (FCanvas && FCanvas->LockCount() == 0) FCanvas->FreeContext();
  return FHandle;
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  if (bitmap == FHandle) return;
  NewImage(bitmap);
  FPixelFormat = bitmap ? FormatOfSection(bitmap) : pfDevice;
  Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
  if (FCanvas) FCanvas->FreeContext();
  HBITMAP h = FHandle;
  FHandle = nullptr;
  FWidth = FHeight = 0;
  return h;
}

void TBitmap::SetSize(int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (width == FWidth && height == FHeight) return;
  if (width == 0 || height == 0) {
    NewImage(nullptr);
    FWidth = width;
    FHeight = height;
    Changed();
    return;
  }
  HBITMAP h = NewDIBSection(width, height, FPixelFormat);
  if (FHandle) {
    if (FCanvas) FCanvas->FreeContext();
    TMemDC src(FHandle), dst(h);
    BitBlt(dst.DC, 0, 0, std::min(width, FWidth), std::min(height, FHeight), src.DC, 0, 0, SRCCOPY);
  }
  NewImage(h);
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat v) {
  if (v == FPixelFormat) return;
  FPixelFormat = v;
  if (!FHandle) return;
  HBITMAP h = NewDIBSection(FWidth, FHeight, v);
  if (FCanvas) FCanvas->FreeContext();
  {
    TMemDC src(FHandle), dst(h);
    // Into one bit: white stays white (the source's background colour), every
    // other colour turns black.
    SetBkColor(src.DC, RGB(255, 255, 255));
    BitBlt(dst.DC, 0, 0, FWidth, FHeight, src.DC, 0, 0, SRCCOPY);
  }
  NewImage(h);
  Changed();
}

TColor TBitmap::TransparentColor() {
  if (FTransparentMode == tmFixed && FTransparentColor != clDefault) return FTransparentColor;
  if (Empty()) return clDefault;
  if (Monochrome()) return clWhite;
  return Canvas()->Pixels(0, FHeight - 1);
}

void TBitmap::SetTransparentColor(TColor v) {
  if (v == FTransparentColor) return;
  FTransparentColor = v;
  FTransparentMode = v == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode v) {
  if (v == FTransparentMode) return;
  if (v == tmAuto)
    SetTransparentColor(clDefault);
  else
    SetTransparentColor(TransparentColor());
}

void TBitmap::Assign(TPersistent* source) {
  if (!source) {
    NewImage(nullptr);
    Changed();
    return;
  }
  if (source->Is<TBitmap>()) {
    TBitmap* b = static_cast<TBitmap*>(source);
    if (b == this) return;
    HBITMAP h = nullptr;
    if (b->FHandle) {
      h = NewDIBSection(b->FWidth, b->FHeight, b->FPixelFormat);
      if (b->FCanvas && b->FCanvas->LockCount() == 0) b->FCanvas->FreeContext();
      TMemDC dst(h);
      if (b->FCanvas && b->FCanvas->HandleAllocated()) {
        BitBlt(dst.DC, 0, 0, b->FWidth, b->FHeight, b->FCanvas->Handle(), 0, 0, SRCCOPY);
      } else {
        TMemDC src(b->FHandle);
        BitBlt(dst.DC, 0, 0, b->FWidth, b->FHeight, src.DC, 0, 0, SRCCOPY);
      }
      if (b->FPixelFormat <= pf8bit && b->FPixelFormat != pfDevice) {
        // Palette bitmaps keep the source's colour table, not the default one.
        TMemDC src(b->FHandle);
        RGBQUAD colors[256];
        UINT n = GetDIBColorTable(src.DC, 0, 256, colors);
        if (n) SetDIBColorTable(dst.DC, 0, n, colors);
        BitBlt(dst.DC, 0, 0, b->FWidth, b->FHeight, src.DC, 0, 0, SRCCOPY);
      }
    }
    NewImage(h);
    FWidth = b->FWidth;
    FHeight = b->FHeight;
    FPixelFormat = b->FPixelFormat;
    FTransparent = b->FTransparent;
    FTransparentColor = b->FTransparentColor;
    FTransparentMode = b->FTransparentMode;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect) {
  if (!FHandle) return;
  HDC src = Canvas()->Handle();
  HDC dst = canvas->Handle();
  int oldMode = SetStretchBltMode(dst, COLORONCOLOR);
  if (!Transparent()) {
    StretchBlt(dst, rect.left, rect.top, rect.Width(), rect.Height(), src, 0, 0, FWidth, FHeight,
               canvas->CopyMode());
  } else {
    // Mask of the transparent colour (1 = transparent), then the XOR-AND-XOR
    // sequence: dest ^ src, cleared where opaque, ^ src again.
    HBITMAP mask = CreateBitmap(FWidth, FHeight, 1, 1, nullptr);
    {
      TMemDC maskDC(mask);
      COLORREF oldBk = SetBkColor(src, ColorToRGB(TransparentColor()));
      BitBlt(maskDC.DC, 0, 0, FWidth, FHeight, src, 0, 0, SRCCOPY);
      SetBkColor(src, oldBk);
      COLORREF oldText = SetTextColor(dst, RGB(0, 0, 0));
      COLORREF oldDstBk = SetBkColor(dst, RGB(255, 255, 255));
      StretchBlt(dst, rect.left, rect.top, rect.Width(), rect.Height(), src, 0, 0, FWidth, FHeight, SRCINVERT);
      StretchBlt(dst, rect.left, rect.top, rect.Width(), rect.Height(), maskDC.DC, 0, 0, FWidth, FHeight, SRCAND);
      StretchBlt(dst, rect.left, rect.top, rect.Width(), rect.Height(), src, 0, 0, FWidth, FHeight, SRCINVERT);
      SetTextColor(dst, oldText);
      SetBkColor(dst, oldDstBk);
    }
    DeleteObject(mask);
  }
  SetStretchBltMode(dst, oldMode);
}

std::vector<uint8_t> TBitmap::GetBGR24() {
  std::vector<uint8_t> out;
  if (!FHandle) return out;
  if (FCanvas) FCanvas->FreeContext();
  int stride = StrideOf(FWidth, 24);
  std::vector<uint8_t> padded(static_cast<size_t>(stride) * FHeight);
  BITMAPINFO bi;
  std::memset(&bi, 0, sizeof bi);
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = FWidth;
  bi.bmiHeader.biHeight = -FHeight;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  TScreenDC screen;
  GdiFlush();
  if (GetDIBits(screen.DC, FHandle, 0, FHeight, padded.data(), &bi, DIB_RGB_COLORS) == 0)
    throw EInvalidGraphic("Cannot read the bitmap's pixels");
  out.resize(static_cast<size_t>(FWidth) * 3 * FHeight);
  for (int y = 0; y < FHeight; ++y)
    std::memcpy(&out[static_cast<size_t>(y) * FWidth * 3], &padded[static_cast<size_t>(y) * stride], FWidth * 3);
  return out;
}

void TBitmap::SetBGR24(int width, int height, const uint8_t* bgr) {
  HBITMAP h = NewDIBSection(width, height, pf24bit);
  int stride = StrideOf(width, 24);
  std::vector<uint8_t> padded(static_cast<size_t>(stride) * height);
  for (int y = 0; y < height; ++y)
    std::memcpy(&padded[static_cast<size_t>(y) * stride], bgr + static_cast<size_t>(y) * width * 3, width * 3);
  BITMAPINFO bi;
  std::memset(&bi, 0, sizeof bi);
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  TScreenDC screen;
  if (SetDIBits(screen.DC, h, 0, height, padded.data(), &bi, DIB_RGB_COLORS) == 0) {
    DeleteObject(h);
    throw EInvalidGraphic("Cannot set the bitmap's pixels");
  }
  NewImage(h);
  FPixelFormat = pf24bit;
  Changed();
}

void TBitmap::LoadFromStream(TStream* stream) {
  const std::vector<uint8_t> data = ReadRest(stream);
  if (data.empty()) {
    NewImage(nullptr);
    Changed();
    return;
  }
  const auto invalid = [] { return EInvalidGraphic("Bitmap image is not valid"); };
  if (data.size() < 14 + 12 || data[0] != 'B' || data[1] != 'M') throw invalid();
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (uint32_t(data[at + 3]) << 24));
  };
  auto u16 = [&](size_t at) { return static_cast<uint16_t>(data[at] | (data[at + 1] << 8)); };
  const size_t size = data.size();
  const uint32_t offBits = u32(10);
  const uint32_t hdrSize = u32(14);
  const size_t info = 14;

  // The header as the system reads it: 40 bytes, then masks or palette.
  TBitmapInfo256 bi;
  std::memset(&bi, 0, sizeof bi);
  BITMAPINFOHEADER& h = bi.Header;
  size_t paletteAt = 0;
  int paletteEntrySize = 4;
  if (hdrSize == 12) {  // the old OS/2 core header
    h.biWidth = u16(info + 4);
    h.biHeight = static_cast<int16_t>(u16(info + 6));
    h.biPlanes = u16(info + 8);
    h.biBitCount = u16(info + 10);
    h.biCompression = BI_RGB;
    paletteAt = info + 12;
    paletteEntrySize = 3;
  } else if (hdrSize >= 40 && info + hdrSize <= size) {
    std::memcpy(&h, &data[info], sizeof h);
    paletteAt = info + hdrSize;
    if (h.biCompression == BI_BITFIELDS) {
      // Masks follow a 40-byte header; larger headers hold them inside.
      size_t masksAt = hdrSize == 40 ? paletteAt : info + 40;
      if (masksAt + 12 > size) throw invalid();
      std::memcpy(bi.Colors, &data[masksAt], 12);
      if (hdrSize == 40) paletteAt += 12;
    }
  } else {
    throw invalid();
  }
  h.biSize = sizeof(BITMAPINFOHEADER);
  const int bits = h.biBitCount;
  const int width = h.biWidth;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  if (h.biPlanes != 1 || width <= 0 || height <= 0 || width > MaxSide || height > MaxSide ||
      int64_t(width) * height > MaxPixels)
    throw invalid();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) throw invalid();
  const bool rle = h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4;
  if (rle && ((h.biCompression == BI_RLE8 && bits != 8) || (h.biCompression == BI_RLE4 && bits != 4) ||
              h.biHeight < 0))
    throw invalid();
  if (!rle && h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32)))
    throw invalid();
  if (bits <= 8) {
    uint32_t count = h.biClrUsed ? h.biClrUsed : (1u << bits);
    if (count > (1u << bits)) throw invalid();
    if (paletteAt + size_t(count) * paletteEntrySize > size) throw invalid();
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* p = &data[paletteAt + i * paletteEntrySize];
      bi.Colors[i] = {p[0], p[1], p[2], 0};
    }
    h.biClrUsed = count;
    paletteAt += size_t(count) * paletteEntrySize;
  } else if (h.biCompression != BI_BITFIELDS) {
    h.biClrUsed = 0;
  }
  size_t bitsAt = (offBits >= paletteAt && offBits < size) ? offBits : paletteAt;
  if (bitsAt >= size) throw invalid();
  size_t available = size - bitsAt;
  size_t needed = rle ? 0 : static_cast<size_t>(StrideOf(width, bits)) * height;
  if (available < needed) throw invalid();
  if (rle) {
    if (h.biSizeImage == 0 || h.biSizeImage > available) h.biSizeImage = static_cast<DWORD>(available);
  } else {
    h.biSizeImage = 0;
  }

  // The section has the file's depth, uncompressed and bottom-up; the system
  // decodes RLE and top-down rows while copying.
  TBitmapInfo256 target = bi;
  target.Header.biHeight = height;
  target.Header.biSizeImage = 0;
  if (rle) target.Header.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP hbm = CreateSection(reinterpret_cast<BITMAPINFO*>(&target), &pixels);
  if (rle) std::memset(pixels, 0, static_cast<size_t>(StrideOf(width, bits)) * height);
  TScreenDC screen;
  if (SetDIBits(screen.DC, hbm, 0, height, &data[bitsAt], reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS) == 0) {
    DeleteObject(hbm);
    throw invalid();
  }
  NewImage(hbm);
  FPixelFormat = FormatOfSection(hbm);
  Changed();
}

void TBitmap::SaveToStream(TStream* stream) {
  if (!FHandle) return;
  if (FCanvas) FCanvas->FreeContext();
  TPixelFormat fmt = FormatOfSection(FHandle);
  int bits = fmt == pfDevice || fmt == pfCustom ? 24 : BitsOf(fmt);
  TBitmapInfo256 bi;
  std::memset(&bi, 0, sizeof bi);
  bi.Header.biSize = sizeof(BITMAPINFOHEADER);
  bi.Header.biWidth = FWidth;
  bi.Header.biHeight = FHeight;
  bi.Header.biPlanes = 1;
  bi.Header.biBitCount = static_cast<WORD>(bits);
  bi.Header.biCompression = BI_RGB;
  int extra = 0;
  if (fmt == pf16bit) {
    bi.Header.biCompression = BI_BITFIELDS;
    DWORD* masks = reinterpret_cast<DWORD*>(bi.Colors);
    masks[0] = 0xF800;
    masks[1] = 0x07E0;
    masks[2] = 0x001F;
    extra = 12;
  }
  if (bits <= 8) {
    bi.Header.biClrUsed = 1u << bits;
    extra = static_cast<int>(sizeof(RGBQUAD)) << bits;
  }
  const int stride = StrideOf(FWidth, bits);
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * FHeight);
  TScreenDC screen;
  GdiFlush();
  if (GetDIBits(screen.DC, FHandle, 0, FHeight, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS) == 0)
    throw EInvalidGraphic("Cannot read the bitmap's pixels");
  // GetDIBits may rewrite the header's fields; write the values this file has.
  bi.Header.biSize = sizeof(BITMAPINFOHEADER);
  bi.Header.biSizeImage = static_cast<DWORD>(pixels.size());
  bi.Header.biClrUsed = bits <= 8 ? (1u << bits) : 0;
  bi.Header.biClrImportant = 0;
  bi.Header.biXPelsPerMeter = bi.Header.biYPelsPerMeter = 0;
  BITMAPFILEHEADER fh;
  std::memset(&fh, 0, sizeof fh);
  fh.bfType = 0x4D42;
  fh.bfOffBits = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + extra);
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + pixels.size());
  stream->WriteBuffer(&fh, sizeof fh);
  stream->WriteBuffer(&bi.Header, sizeof bi.Header);
  if (extra) stream->WriteBuffer(bi.Colors, extra);
  stream->WriteBuffer(pixels.data(), static_cast<int32_t>(pixels.size()));
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const AnsiString& name) {
  HBITMAP h = static_cast<HBITMAP>(LoadImageA(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!h) {
    TGraphic::LoadFromResourceName(instance, name);
    return;
  }
  SetHandle(h);
}

void TBitmap::LoadFromResourceID(HINSTANCE instance, int id) {
  HBITMAP h = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!h) throw EResNotFound(Format("Resource %s not found", {IntToStr(id)}));
  SetHandle(h);
}

// ---------------------------------------------------------------------------
// TIcon

CL_DEFINE_CLASS(TIcon, TGraphic)

TIcon::~TIcon() {
  if (FHandle) DestroyIcon(FHandle);
}

void TIcon::NewIcon(HICON icon, std::vector<uint8_t> fileBytes) {
  if (FHandle && FHandle != icon) DestroyIcon(FHandle);
  FHandle = icon;
  FFileBytes = std::move(fileBytes);
  FWidth = FHeight = 0;
  if (icon) {
    ICONINFO ii;
    if (GetIconInfo(icon, &ii)) {
      BITMAP bm;
      if (ii.hbmColor && GetObjectA(ii.hbmColor, sizeof bm, &bm)) {
        FWidth = bm.bmWidth;
        FHeight = bm.bmHeight;
      } else if (ii.hbmMask && GetObjectA(ii.hbmMask, sizeof bm, &bm)) {
        FWidth = bm.bmWidth;
        FHeight = bm.bmHeight / 2;  // a monochrome icon stacks its AND and XOR masks
      }
      if (ii.hbmColor) DeleteObject(ii.hbmColor);
      if (ii.hbmMask) DeleteObject(ii.hbmMask);
    }
  }
}

void TIcon::SetHandle(HICON icon) {
  if (icon == FHandle) return;
  NewIcon(icon, {});
  Changed();
}

HICON TIcon::ReleaseHandle() {
  HICON h = FHandle;
  FHandle = nullptr;
  FWidth = FHeight = 0;
  FFileBytes.clear();
  return h;
}

void TIcon::SetWidth(int v) {
  if (v != FWidth) throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHeight(int v) {
  if (v != FHeight) throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::Assign(TPersistent* source) {
  if (!source) {
    NewIcon(nullptr, {});
    Changed();
    return;
  }
  if (source->Is<TIcon>()) {
    TIcon* i = static_cast<TIcon*>(source);
    if (i == this) return;
    HICON copy = i->FHandle ? CopyIcon(i->FHandle) : nullptr;
    if (i->FHandle && !copy) throw EOutOfResources("Out of system resources");
    NewIcon(copy, i->FFileBytes);
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TIcon::Draw(TCanvas* canvas, const TRect& rect) {
  if (FHandle) DrawIconEx(canvas->Handle(), rect.left, rect.top, FHandle, rect.Width(), rect.Height(), 0, nullptr, DI_NORMAL);
}

void TIcon::LoadFromStream(TStream* stream) {
  std::vector<uint8_t> data = ReadRest(stream);
  const auto invalid = [] { return EInvalidGraphic("Icon image is not valid"); };
  auto u16 = [&](size_t at) { return static_cast<uint16_t>(data[at] | (data[at + 1] << 8)); };
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (uint32_t(data[at + 3]) << 24));
  };
  if (data.size() < 6 + 16 || u16(0) != 0 || u16(2) != 1 || u16(4) == 0) throw invalid();
  int w = data[6] ? data[6] : 256;
  int h = data[7] ? data[7] : 256;
  uint32_t bytes = u32(6 + 8);
  uint32_t offset = u32(6 + 12);
  if (offset > data.size() || bytes > data.size() - offset || bytes < 40) throw invalid();
  HICON icon = CreateIconFromResourceEx(&data[offset], bytes, TRUE, 0x00030000, w, h, LR_DEFAULTCOLOR);
  if (!icon) throw invalid();
  NewIcon(icon, std::move(data));
  Changed();
}

void TIcon::SaveToStream(TStream* stream) {
  if (!FFileBytes.empty()) {
    stream->WriteBuffer(FFileBytes.data(), static_cast<int32_t>(FFileBytes.size()));
    return;
  }
  if (!FHandle) return;
  // One 32-bit image: the colour pixels (alpha as the system keeps it) and the
  // AND mask, both bottom-up, in the layout of an icon resource.
  ICONINFO ii;
  if (!GetIconInfo(FHandle, &ii)) throw EInvalidGraphic("Icon image is not valid");
  const int w = FWidth, h = FHeight;
  std::vector<uint8_t> color(static_cast<size_t>(w) * h * 4, 0);
  const int maskStride = StrideOf(w, 1);
  std::vector<uint8_t> mask(static_cast<size_t>(maskStride) * h, 0);
  {
    TScreenDC screen;
    TBitmapInfo256 bi;
    std::memset(&bi, 0, sizeof bi);
    bi.Header.biSize = sizeof(BITMAPINFOHEADER);
    bi.Header.biWidth = w;
    bi.Header.biHeight = h;
    bi.Header.biPlanes = 1;
    bi.Header.biBitCount = 32;
    if (ii.hbmColor) {
      GetDIBits(screen.DC, ii.hbmColor, 0, h, color.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    } else {
      // Monochrome icon: the XOR mask is the lower half of the mask bitmap.
      bi.Header.biHeight = 2 * h;
      std::vector<uint8_t> both(static_cast<size_t>(w) * h * 8);
      GetDIBits(screen.DC, ii.hbmMask, 0, 2 * h, both.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
      std::memcpy(color.data(), both.data(), color.size());
    }
    std::memset(&bi, 0, sizeof bi);
    bi.Header.biSize = sizeof(BITMAPINFOHEADER);
    bi.Header.biWidth = w;
    bi.Header.biHeight = ii.hbmColor ? h : 2 * h;
    bi.Header.biPlanes = 1;
    bi.Header.biBitCount = 1;
    std::vector<uint8_t> m(static_cast<size_t>(maskStride) * (ii.hbmColor ? h : 2 * h));
    GetDIBits(screen.DC, ii.hbmMask, 0, bi.Header.biHeight, m.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    // Bottom-up: the AND mask is the upper half, i.e. the later rows.
    std::memcpy(mask.data(), m.data() + (ii.hbmColor ? 0 : mask.size()), mask.size());
  }
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  if (ii.hbmMask) DeleteObject(ii.hbmMask);

  const uint32_t imageSize = static_cast<uint32_t>(40 + color.size() + mask.size());
  uint8_t dir[22] = {0, 0, 1, 0, 1, 0};
  dir[6] = static_cast<uint8_t>(w >= 256 ? 0 : w);
  dir[7] = static_cast<uint8_t>(h >= 256 ? 0 : h);
  dir[10] = 1;   // planes
  dir[12] = 32;  // bits per pixel
  std::memcpy(&dir[14], &imageSize, 4);
  uint32_t offset = 22;
  std::memcpy(&dir[18], &offset, 4);
  BITMAPINFOHEADER ih;
  std::memset(&ih, 0, sizeof ih);
  ih.biSize = sizeof ih;
  ih.biWidth = w;
  ih.biHeight = 2 * h;
  ih.biPlanes = 1;
  ih.biBitCount = 32;
  ih.biSizeImage = static_cast<DWORD>(color.size() + mask.size());
  stream->WriteBuffer(dir, sizeof dir);
  stream->WriteBuffer(&ih, sizeof ih);
  stream->WriteBuffer(color.data(), static_cast<int32_t>(color.size()));
  stream->WriteBuffer(mask.data(), static_cast<int32_t>(mask.size()));
}

void TIcon::LoadFromResourceName(HINSTANCE instance, const AnsiString& name) {
  HICON h = static_cast<HICON>(LoadImageA(instance, name.c_str(), IMAGE_ICON, 0, 0, 0));
  if (!h) {
    TGraphic::LoadFromResourceName(instance, name);
    return;
  }
  SetHandle(h);
}

void TIcon::LoadFromResourceID(HINSTANCE instance, int id) {
  HICON h = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, 0));
  if (!h) throw EResNotFound(Format("Resource %s not found", {IntToStr(id)}));
  SetHandle(h);
}

// ---------------------------------------------------------------------------
// TJPEGImage through libjpeg. libjpeg reports errors through a callback that
// must not return; it jumps back to the call here, which has no C++ objects
// to unwind between the jump and its target.

namespace {
struct TJpegError {
  jpeg_error_mgr Pub;
  jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
  TJpegError* err = reinterpret_cast<TJpegError*>(info->err);
  (*info->err->format_message)(info, err->Message);
  longjmp(err->Jump, 1);
}

void JpegSilentMessage(j_common_ptr) {}

// rgb: top-down rows of 3 bytes per pixel in R, G, B order.
bool JpegCompress(const uint8_t* rgb, int width, int height, int quality, bool grayscale, unsigned char** out,
                  unsigned long* outSize, TJpegError* err) {
  jpeg_compress_struct cinfo;
  cinfo.err = jpeg_std_error(&err->Pub);
  err->Pub.error_exit = JpegErrorExit;
  err->Pub.output_message = JpegSilentMessage;
  if (setjmp(err->Jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (grayscale) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(cinfo.next_scanline) * width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

// On success *pixels is a malloc'ed buffer of top-down R, G, B rows.
bool JpegDecompress(const uint8_t* data, size_t size, int* width, int* height, unsigned char** pixels,
                    TJpegError* err) {
  jpeg_decompress_struct cinfo;
  cinfo.err = jpeg_std_error(&err->Pub);
  err->Pub.error_exit = JpegErrorExit;
  err->Pub.output_message = JpegSilentMessage;
  *pixels = nullptr;
  if (setjmp(err->Jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width == 0 || cinfo.output_height == 0 || cinfo.output_width > unsigned(MaxSide) ||
      cinfo.output_height > unsigned(MaxSide) || int64_t(cinfo.output_width) * cinfo.output_height > MaxPixels) {
    std::snprintf(err->Message, sizeof err->Message, "Image too large");
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  *width = static_cast<int>(cinfo.output_width);
  *height = static_cast<int>(cinfo.output_height);
  *pixels = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(*width) * *height * 3));
  if (!*pixels) {
    std::snprintf(err->Message, sizeof err->Message, "Out of memory");
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = *pixels + static_cast<size_t>(cinfo.output_scanline) * *width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

void SwapRedBlue(uint8_t* p, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, p += 3) std::swap(p[0], p[2]);
}
}  // namespace

CL_DEFINE_CLASS(TJPEGImage, TGraphic)

TJPEGImage::TJPEGImage() = default;

TJPEGImage::~TJPEGImage() { delete FBitmap; }

TBitmap* TJPEGImage::Bitmap() {
  if (!FBitmap) FBitmap = new TBitmap;
  return FBitmap;
}

bool TJPEGImage::Empty() const { return !FBitmap || FBitmap->Empty(); }
int TJPEGImage::Width() const { return FBitmap ? FBitmap->Width() : 0; }
int TJPEGImage::Height() const { return FBitmap ? FBitmap->Height() : 0; }

void TJPEGImage::SetWidth(int v) {
  if (v != Width()) throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::SetHeight(int v) {
  if (v != Height()) throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::SetCompressionQuality(int v) {
  v = std::clamp(v, 1, 100);
  if (v == FQuality) return;
  FQuality = v;
  FData.clear();
}

void TJPEGImage::SetGrayscale(bool v) {
  if (v == FGrayscale) return;
  FGrayscale = v;
  FData.clear();
  Changed();
}

void TJPEGImage::Assign(TPersistent* source) {
  if (!source) {
    delete FBitmap;
    FBitmap = nullptr;
    FData.clear();
    Changed();
    return;
  }
  if (source->Is<TJPEGImage>()) {
    TJPEGImage* j = static_cast<TJPEGImage*>(source);
    if (j == this) return;
    Bitmap()->Assign(j->FBitmap);
    FData = j->FData;
    FQuality = j->FQuality;
    FGrayscale = j->FGrayscale;
    Changed();
    return;
  }
  if (source->Is<TBitmap>()) {
    TBitmap* b = static_cast<TBitmap*>(source);
    if (b->Empty()) {
      Assign(nullptr);
      return;
    }
    std::vector<uint8_t> bgr = b->GetBGR24();
    Bitmap()->SetBGR24(b->Width(), b->Height(), bgr.data());
    FData.clear();
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TPersistent* dest) {
  if (dest && dest->Is<TBitmap>()) {
    static_cast<TBitmap*>(dest)->Assign(FBitmap);
    return;
  }
  TGraphic::AssignTo(dest);
}

void TJPEGImage::Compress() {
  if (Empty()) throw EInvalidGraphic("JPEG image is empty");
  std::vector<uint8_t> rgb = FBitmap->GetBGR24();
  SwapRedBlue(rgb.data(), rgb.size() / 3);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  TJpegError err;
  err.Message[0] = '\0';
  bool ok = JpegCompress(rgb.data(), FBitmap->Width(), FBitmap->Height(), FQuality, FGrayscale, &out, &outSize, &err);
  if (ok) FData.assign(out, out + outSize);
  std::free(out);
  if (!ok) throw EInvalidGraphic(AnsiString("JPEG error: ") + err.Message);
}

void TJPEGImage::SaveToStream(TStream* stream) {
  if (FData.empty()) Compress();
  stream->WriteBuffer(FData.data(), static_cast<int32_t>(FData.size()));
}

void TJPEGImage::LoadFromStream(TStream* stream) {
  std::vector<uint8_t> data = ReadRest(stream);
  int w = 0, h = 0;
  unsigned char* pixels = nullptr;
  TJpegError err;
  err.Message[0] = '\0';
  if (data.empty()) throw EInvalidGraphic("JPEG error: empty data");
  if (!JpegDecompress(data.data(), data.size(), &w, &h, &pixels, &err)) {
    std::free(pixels);
    throw EInvalidGraphic(AnsiString("JPEG error: ") + err.Message);
  }
  std::unique_ptr<unsigned char, decltype(&std::free)> hold(pixels, &std::free);
  SwapRedBlue(pixels, static_cast<size_t>(w) * h);
  Bitmap()->SetBGR24(w, h, pixels);
  FData = std::move(data);
  Changed();
}

void TJPEGImage::Draw(TCanvas* canvas, const TRect& rect) {
  if (FBitmap) canvas->StretchDraw(rect, FBitmap);
}

// ---------------------------------------------------------------------------
// TPicture

CL_DEFINE_CLASS(TPicture, TPersistent)

TPicture::~TPicture() { delete FGraphic; }

void TPicture::TakeGraphic(TGraphic* g) {
  if (g == FGraphic) return;
  delete FGraphic;
  FGraphic = g;
  if (g) g->OnChange = MakeEvent<&TPicture::Changed>(this);
}

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(TGraphic* value) {
  if (value == FGraphic) return;
  TGraphic* copy = nullptr;
  if (value) {
    std::unique_ptr<TGraphic> g(NewGraphicOf(value->ClassType()));
    g->Assign(value);
    copy = g.release();
  }
  TakeGraphic(copy);
  Changed(this);
}

TBitmap* TPicture::Bitmap() {
  if (!FGraphic || !FGraphic->Is<TBitmap>()) {
    TakeGraphic(new TBitmap);
    Changed(this);
  }
  return static_cast<TBitmap*>(FGraphic);
}

TIcon* TPicture::Icon() {
  if (!FGraphic || !FGraphic->Is<TIcon>()) {
    TakeGraphic(new TIcon);
    Changed(this);
  }
  return static_cast<TIcon*>(FGraphic);
}

void TPicture::Assign(TPersistent* source) {
  if (!source) {
    SetGraphic(nullptr);
  } else if (source->Is<TPicture>()) {
    SetGraphic(static_cast<TPicture*>(source)->FGraphic);
  } else if (source->Is<TGraphic>()) {
    SetGraphic(static_cast<TGraphic*>(source));
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::AssignTo(TPersistent* dest) {
  if (FGraphic && dest && dest->Is<TGraphic>()) {
    dest->Assign(FGraphic);
    return;
  }
  TPersistent::AssignTo(dest);
}

void TPicture::LoadFromFile(const AnsiString& fileName) {
  AnsiString ext = LowerCase(ExtractFileExt(fileName));
  if (!ext.IsEmpty()) ext.Delete(1, 1);
  TGraphicFactory factory = FactoryForExtension(ext);
  if (!factory) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", {ext}));
  std::unique_ptr<TGraphic> g(factory());
  g->LoadFromFile(fileName);
  TakeGraphic(g.release());
  Changed(this);
}

void TPicture::SaveToFile(const AnsiString& fileName) {
  if (FGraphic) FGraphic->SaveToFile(fileName);
}

void TPicture::LoadFromResourceName(HINSTANCE instance, const AnsiString& name) {
  std::unique_ptr<TGraphic> g;
  if (FindResourceA(instance, name.c_str(), RT_BITMAP)) {
    g.reset(new TBitmap);
  } else if (FindResourceA(instance, name.c_str(), RT_GROUP_ICON)) {
    g.reset(new TIcon);
  } else {
    // RCDATA: the file's bytes; the kind is told by their signature.
    TResourceStream stream(instance, name, RT_RCDATA);
    uint8_t sig[4] = {0, 0, 0, 0};
    stream.Read(sig, 4);
    stream.SetPosition(0);
    if (sig[0] == 'B' && sig[1] == 'M')
      g.reset(new TBitmap);
    else if (sig[0] == 0xFF && sig[1] == 0xD8)
      g.reset(new TJPEGImage);
    else if (sig[0] == 0 && sig[1] == 0 && sig[2] == 1 && sig[3] == 0)
      g.reset(new TIcon);
    else
      throw EInvalidGraphic(Format("Unknown picture format in resource %s", {name}));
    g->LoadFromStream(&stream);
    TakeGraphic(g.release());
    Changed(this);
    return;
  }
  g->LoadFromResourceName(instance, name);
  TakeGraphic(g.release());
  Changed(this);
}

// ---------------------------------------------------------------------------

namespace {
const char* const FontStyleNames[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
const char* const FontPitchNames[] = {"fpDefault", "fpVariable", "fpFixed"};
const char* const PenStyleNames[] = {"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear",
                                     "psInsideFrame"};
const char* const PenModeNames[] = {"pmBlack", "pmWhite", "pmNop", "pmNot", "pmCopy", "pmNotCopy",
                                    "pmMergePenNot", "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen", "pmMerge",
                                    "pmNotMerge", "pmMask", "pmNotMask", "pmXor", "pmNotXor"};
const char* const BrushStyleNames[] = {"bsSolid", "bsClear", "bsHorizontal", "bsVertical", "bsFDiagonal",
                                       "bsBDiagonal", "bsCross", "bsDiagCross"};

void RegisterGraphicsProperties() {
  RegisterProperty(&TFont::Class, "Charset", CharsetPropType(), &TFont::SetCharset, &TFont::Charset);
  RegisterProperty(&TFont::Class, "Color", ColorPropType(), &TFont::SetColor, &TFont::Color);
  RegisterProperty(&TFont::Class, "Height", pkInteger, &TFont::SetHeight, &TFont::Height);
  RegisterProperty(&TFont::Class, "Name", pkString, &TFont::SetName, &TFont::Name);
  RegisterProperty(&TFont::Class, "Pitch", TPropType::Enum(FontPitchNames), &TFont::SetPitch, &TFont::Pitch);
  RegisterProperty(&TFont::Class, "Size", pkInteger, &TFont::SetSize, &TFont::Size);
  RegisterProperty(&TFont::Class, "Style", TPropType::Set(FontStyleNames), &TFont::SetStyle, &TFont::Style);
  RegisterProperty(&TPen::Class, "Color", ColorPropType(), &TPen::SetColor, &TPen::Color);
  RegisterProperty(&TPen::Class, "Mode", TPropType::Enum(PenModeNames), &TPen::SetMode, &TPen::Mode);
  RegisterProperty(&TPen::Class, "Style", TPropType::Enum(PenStyleNames), &TPen::SetStyle, &TPen::Style);
  RegisterProperty(&TPen::Class, "Width", pkInteger, &TPen::SetWidth, &TPen::Width);
  RegisterProperty(&TBrush::Class, "Color", ColorPropType(), &TBrush::SetColor, &TBrush::Color);
  RegisterProperty(&TBrush::Class, "Style", TPropType::Enum(BrushStyleNames), &TBrush::SetStyle, &TBrush::Style);
  // Pictures named in layouts come from the program's resources.
  RegisterResourceLoader(&TPicture::Class, [](TPersistent* p, const AnsiString& name) {
    static_cast<TPicture*>(p)->LoadFromResourceName(HInstance, name);
  });
  RegisterResourceLoader(&TGraphic::Class, [](TPersistent* p, const AnsiString& name) {
    static_cast<TGraphic*>(p)->LoadFromResourceName(HInstance, name);
  });
}
}  // namespace

void UnitInit_graphics() {
  HDC dc = GetDC(nullptr);
  ScreenLogPixels = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  if (ScreenLogPixels <= 0) ScreenLogPixels = 96;
  HandleCache = new THandleCache;
  PatternBitmaps = new std::vector<TPatternEntry>;
  GraphicFormats = new std::vector<TGraphicFormat>;
  RegisterGraphicFormat("bmp", &TBitmap::Class, []() -> TGraphic* { return new TBitmap; });
  RegisterGraphicFormat("ico", &TIcon::Class, []() -> TGraphic* { return new TIcon; });
  RegisterGraphicFormat("jpg", &TJPEGImage::Class, []() -> TGraphic* { return new TJPEGImage; });
  RegisterGraphicFormat("jpeg", &TJPEGImage::Class, []() -> TGraphic* { return new TJPEGImage; });
  RegisterGraphicsProperties();
}

void UnitFini_graphics() {
  if (PatternBitmaps) {
    for (TPatternEntry& e : *PatternBitmaps) delete e.Bitmap;
    delete PatternBitmaps;
    PatternBitmaps = nullptr;
  }
  delete GraphicFormats;
  GraphicFormats = nullptr;
  if (HandleCache) {
    // Objects still alive keep their handles; they are deleted when those
    // objects release them (the cache no longer counts them).
    delete HandleCache;
    HandleCache = nullptr;
  }
}
