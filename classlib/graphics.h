// Colours, fonts, pens, brushes, the canvas over any device context, and the
// pictures: bitmaps, icons and JPEG images.
#pragma once

#include "classes.h"
#include "filer.h"

#include <cstdint>
#include <vector>

// ---------------------------------------------------------------------------
// Points and rectangles: the Win32 records with constructors and sizes.

struct TPoint : POINT {
  TPoint() : POINT{0, 0} {}
  TPoint(int ax, int ay) : POINT{ax, ay} {}
  TPoint(const POINT& p) : POINT(p) {}
  friend bool operator==(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y; }
  friend bool operator!=(const TPoint& a, const TPoint& b) { return !(a == b); }
};

struct TRect : RECT {
  TRect() : RECT{0, 0, 0, 0} {}
  TRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  TRect(const TPoint& tl, const TPoint& br) : RECT{tl.x, tl.y, br.x, br.y} {}
  TRect(const RECT& r) : RECT(r) {}
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  TPoint TopLeft() const { return TPoint(left, top); }
  TPoint BottomRight() const { return TPoint(right, bottom); }
  bool Contains(const TPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  friend bool operator==(const TRect& a, const TRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
  friend bool operator!=(const TRect& a, const TRect& b) { return !(a == b); }
};

using TSize = SIZE;

inline TPoint Point(int x, int y) { return TPoint(x, y); }
inline TRect Rect(int l, int t, int r, int b) { return TRect(l, t, r, b); }
inline TRect Bounds(int l, int t, int w, int h) { return TRect(l, t, l + w, t + h); }

// ---------------------------------------------------------------------------
// Colours: 0x00BBGGRR, or a system colour 0x80000000 | COLOR_x.

using TColor = int32_t;

constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index)); }

constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// A system colour becomes the system's current RGB value; others stay.
COLORREF ColorToRGB(TColor color);
// The colour names of the layouts ("clBtnFace") and back.
bool IdentToColor(const AnsiString& ident, int& color);
bool ColorToIdent(int color, AnsiString& ident);
AnsiString ColorToString(TColor color);
TColor StringToColor(const AnsiString& s);  // a name or a number; EConvertError otherwise

// Character sets by name (RUSSIAN_CHARSET) and back.
using TFontCharset = uint8_t;
bool IdentToCharset(const AnsiString& ident, int& charset);
bool CharsetToIdent(int charset, AnsiString& ident);
// Property types of colour and character-set properties, for the registry.
TPropType ColorPropType();
TPropType CharsetPropType();

// Logical pixels per inch of the screen, read at unit start.
extern int ScreenLogPixels;

// ---------------------------------------------------------------------------
// Fonts, pens and brushes: values with a lazily made GDI handle. Objects with
// the same values share one handle through a reference-counted cache.

CL_EXCEPTION(EInvalidGraphic, Exception)
CL_EXCEPTION(EInvalidGraphicOperation, Exception)

class TGraphicsObject : public TPersistent {
  CL_CLASS(TGraphicsObject, TPersistent)
public:
  ~TGraphicsObject() override;
  TNotifyEvent OnChange;
  // True when a handle has been made for the current values.
  bool HandleAllocated() const { return FHandle != nullptr; }

protected:
  TGraphicsObject() = default;
  // Drops the handle of the old values and tells OnChange. The old handle is
  // released only after OnChange ran, so a canvas that has it selected can put
  // its own objects back first.
  virtual void Changed();
  // The setters' step: a value that differs is stored and reported (Changed).
  template <class T> void ChangeValue(T& field, const T& value) {
    if (field == value) return;
    field = value;
    Changed();
  }
  void ReleaseHandle();
  // Looks up or makes the handle for the given value bytes.
  HGDIOBJ CachedHandle(const void* key, size_t keySize, HGDIOBJ (*make)(const void* key));
  HGDIOBJ FHandle = nullptr;
};

using TFontStyles = uint8_t;
enum : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

class TFont : public TGraphicsObject {
  CL_CLASS(TFont, TGraphicsObject)
public:
  TFont();
  void Assign(TPersistent* source) override;

  HFONT Handle();
  // Takes the values of an existing font (the handle itself stays the caller's).
  void SetHandle(HFONT font);

  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& v);
  int Height() const { return FHeight; }
  void SetHeight(int v);
  // Points; the sign convention of Height (negative = character height).
  int Size() const;
  void SetSize(int v);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles v);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset v);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch v);
  // The device resolution Size refers to (the screen's, or a printer's).
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int v) { FPixelsPerInch = v > 0 ? v : ScreenLogPixels; }

private:
  AnsiString FName;
  int FHeight;
  TFontStyles FStyle = 0;
  TColor FColor = clWindowText;
  TFontCharset FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  int FPixelsPerInch;
};

// The face name every new font starts with ("MS Sans Serif" until changed);
// a longer name is cut to 31 characters, the room a face name has.
AnsiString DefaultFontName();
void SetDefaultFontName(const AnsiString& name);

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode : uint8_t {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

class TPen : public TGraphicsObject {
  CL_CLASS(TPen, TGraphicsObject)
public:
  TPen() = default;
  void Assign(TPersistent* source) override;

  HPEN Handle();
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  int Width() const { return FWidth; }
  void SetWidth(int v);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle v);
  // The raster operation of lines drawn with the pen (not part of the handle).
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode v);

private:
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
};

class TBitmap;

enum TBrushStyle : uint8_t { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
  CL_CLASS(TBrush, TGraphicsObject)
public:
  TBrush() = default;
  ~TBrush() override;
  void Assign(TPersistent* source) override;

  HBRUSH Handle();
  TColor Color() const { return FColor; }
  // A colour other than clNone makes a clear brush solid again.
  void SetColor(TColor v);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle v);
  // A pattern brush of the bitmap (not owned; the caller keeps it alive).
  TBitmap* Bitmap() const { return FBitmap; }
  void SetBitmap(TBitmap* v);

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  TBitmap* FBitmap = nullptr;
};

// ---------------------------------------------------------------------------
// The canvas: drawing on a device context it may or may not own.

class TGraphic;

using TCanvasState = uint8_t;
enum : uint8_t { csHandleValid = 1, csFontValid = 2, csPenValid = 4, csBrushValid = 8, csAllValid = 15 };
enum TCanvasOrientation : uint8_t { coLeftToRight, coRightToLeft };
using TCopyMode = DWORD;
constexpr TCopyMode cmBlackness = BLACKNESS, cmDstInvert = DSTINVERT, cmMergeCopy = MERGECOPY,
                    cmMergePaint = MERGEPAINT, cmNotSrcCopy = NOTSRCCOPY, cmNotSrcErase = NOTSRCERASE,
                    cmPatCopy = PATCOPY, cmPatInvert = PATINVERT, cmPatPaint = PATPAINT, cmSrcAnd = SRCAND,
                    cmSrcCopy = SRCCOPY, cmSrcErase = SRCERASE, cmSrcInvert = SRCINVERT, cmSrcPaint = SRCPAINT,
                    cmWhiteness = WHITENESS;

class TCanvas : public TPersistent {
  CL_CLASS(TCanvas, TPersistent)
public:
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The device context, made by CreateHandle when none is set; raises
  // EInvalidOperation "Canvas does not allow drawing" when none can be had.
  HDC Handle();
  // Takes a device context it does not own (custom draw, owner draw, printer);
  // 0 gives the old one back with its original objects selected again.
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Makes sure the handle and the selected objects are valid.
  void RequiredState(TCanvasState state);
  // Selects the device context's own objects again, so a borrowed DC goes back
  // as it came; the next drawing selects ours anew.
  void Refresh();

  TFont* Font() const { return FFont; }
  void SetFont(TFont* v) { FFont->Assign(v); }
  TPen* Pen() const { return FPen; }
  void SetPen(TPen* v) { FPen->Assign(v); }
  TBrush* Brush() const { return FBrush; }
  void SetBrush(TBrush* v) { FBrush->Assign(v); }
  TCopyMode CopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode v) { FCopyMode = v; }
  // Options for ExtTextOut (ETO_RTLREADING and the like).
  int TextFlags() const { return FTextFlags; }
  void SetTextFlags(int v) { FTextFlags = v; }
  TCanvasOrientation CanvasOrientation() const { return coLeftToRight; }
  TPoint PenPos();
  void SetPenPos(const TPoint& p) { MoveTo(p.x, p.y); }
  TRect ClipRect();

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const TPoint* points, int count);
  void Polygon(const TPoint* points, int count);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.left, r.top, r.right, r.bottom); }
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void DrawFocusRect(const TRect& r);
  void TextOut(int x, int y, const AnsiString& text);
  void TextRect(const TRect& r, int x, int y, const AnsiString& text);
  TSize TextExtent(const AnsiString& text);
  int TextWidth(const AnsiString& text) { return TextExtent(text).cx; }
  int TextHeight(const AnsiString& text) { return TextExtent(text).cy; }
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& r, TGraphic* graphic);
  void CopyRect(const TRect& dest, TCanvas* source, const TRect& src);
  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor c);

  // Nesting count; a locked canvas keeps its handle (controls free unlocked ones).
  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return FLockCount; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;
  virtual void Changing();
  virtual void Changed();

protected:
  // Derived canvases make their own device context here.
  virtual void CreateHandle() {}
  TCanvasState State() const { return FState; }

private:
  void CreateFont();
  void CreatePen();
  void CreateBrush();
  void DeselectHandles();
  void FontChanged(TObject* sender);
  void PenChanged(TObject* sender);
  void BrushChanged(TObject* sender);

  HDC FHandle = nullptr;
  TCanvasState FState = 0;
  TFont* FFont;
  TPen* FPen;
  TBrush* FBrush;
  HGDIOBJ FOrigFont = nullptr, FOrigPen = nullptr, FOrigBrush = nullptr;
  TCopyMode FCopyMode = cmSrcCopy;
  int FTextFlags = 0;
  int FLockCount = 0;
};

// Draws a 3-D frame of the given width inside rect and shrinks rect by it.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

// An 8x8 checkerboard of two colours for pattern brushes; kept by the unit.
TBitmap* AllocPatternBitmap(TColor bkColor, TColor fgColor);

// ---------------------------------------------------------------------------
// Pictures.

class TGraphic : public TPersistent {
  CL_CLASS(TGraphic, TPersistent)
public:
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int v) = 0;
  virtual void SetHeight(int v) = 0;
  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool v);
  bool Modified() const { return FModified; }
  void SetModified(bool v);

  virtual void LoadFromStream(TStream* stream) = 0;
  virtual void SaveToStream(TStream* stream) = 0;
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName);
  // A resource of the module: its own type (BITMAP, ICON) or RCDATA holding the
  // file's bytes. EResNotFound when missing.
  virtual void LoadFromResourceName(HINSTANCE instance, const AnsiString& name);

  TNotifyEvent OnChange;

protected:
  friend class TCanvas;
  TGraphic() = default;
  virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
  virtual void Changed();
  bool FTransparent = false;
  bool FModified = false;
};

// Graphic classes by file extension, for TPicture's file loading.
using TGraphicFactory = TGraphic* (*)();
void RegisterGraphicFormat(const AnsiString& extension, const TMetaClass* cls, TGraphicFactory factory);
// A new empty graphic of the class (EInvalidGraphic when the class is unknown).
TGraphic* NewGraphicOf(const TMetaClass* cls);

enum TPixelFormat : uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode : uint8_t { tmAuto, tmFixed };

// The canvas of a bitmap: a memory DC with the bitmap selected.
class TBitmapCanvas : public TCanvas {
  CL_CLASS(TBitmapCanvas, TCanvas)
public:
  explicit TBitmapCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
  ~TBitmapCanvas() override;
  // Gives the DC back (the bitmap is about to change its handle).
  void FreeContext();

protected:
  void CreateHandle() override;

private:
  TBitmap* FBitmap;
  HDC FMemDC = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
};

class TBitmap : public TGraphic {
  CL_CLASS(TBitmap, TGraphic)
public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  void Assign(TPersistent* source) override;
  bool Empty() const override { return FHandle == nullptr; }
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int v) override { SetSize(v, FHeight); }
  void SetHeight(int v) override { SetSize(FWidth, v); }
  // Keeps the picture's top-left part; new area is white.
  void SetSize(int width, int height);
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat v);
  bool Monochrome() const { return FPixelFormat == pf1bit; }
  void SetMonochrome(bool v) { SetPixelFormat(v ? pf1bit : pfDevice); }

  // Transparent colour: the bottom-left pixel (tmAuto) or the one set (tmFixed).
  TColor TransparentColor();
  void SetTransparentColor(TColor v);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode v);

  TCanvas* Canvas();
  HBITMAP Handle();
  // Takes ownership of the bitmap.
  void SetHandle(HBITMAP bitmap);
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Hands the bitmap over to the caller; the object becomes empty.
  HBITMAP ReleaseHandle();
  void Dormant() {}
  void FreeImage() {}

  // BMP file format, any bit depth the system can read (RLE included).
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) override;
  void LoadFromResourceName(HINSTANCE instance, const AnsiString& name) override;
  void LoadFromResourceID(HINSTANCE instance, int id);

  // The bitmap's pixels as 24-bit BGR rows, top row first (3 bytes per pixel,
  // no padding).
  std::vector<uint8_t> GetBGR24();
  // Replaces the picture by one of the given size in pf24bit from such rows.
  void SetBGR24(int width, int height, const uint8_t* bgr);

protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;

private:
  friend class TBitmapCanvas;
  void NewImage(HBITMAP bitmap);
  void CanvasChanged(TObject* sender);
  HBITMAP FHandle = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  TPixelFormat FPixelFormat = pfDevice;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  TBitmapCanvas* FCanvas = nullptr;
};

// A new DIB section of the given size and format (white), owned by the caller;
// pfDevice and pfCustom give 32 bits per pixel.
HBITMAP NewDIBSection(int width, int height, TPixelFormat format);

class TIcon : public TGraphic {
  CL_CLASS(TIcon, TGraphic)
public:
  TIcon() = default;
  ~TIcon() override;
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  void Assign(TPersistent* source) override;
  bool Empty() const override { return FHandle == nullptr; }
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  // The size of an icon comes from its image.
  void SetWidth(int v) override;
  void SetHeight(int v) override;
  bool Transparent() const override { return true; }

  HICON Handle() const { return FHandle; }
  // Takes ownership of the icon.
  void SetHandle(HICON icon);
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Hands the icon over to the caller; the object becomes empty.
  HICON ReleaseHandle();

  // ICO file format: the first image of the file is used; saving writes the
  // bytes that were loaded, or one 32-bit image made from the handle.
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) override;
  void LoadFromResourceName(HINSTANCE instance, const AnsiString& name) override;
  void LoadFromResourceID(HINSTANCE instance, int id);

protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;

private:
  void NewIcon(HICON icon, std::vector<uint8_t> fileBytes);
  HICON FHandle = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  std::vector<uint8_t> FFileBytes;  // the ICO file the icon came from, if any
};

// A JPEG picture: compressed through libjpeg (baseline, colour, the library's
// defaults at the quality given), decoded the same way.
class TJPEGImage : public TGraphic {
  CL_CLASS(TJPEGImage, TGraphic)
public:
  TJPEGImage();
  ~TJPEGImage() override;
  TJPEGImage(const TJPEGImage&) = delete;
  TJPEGImage& operator=(const TJPEGImage&) = delete;

  // From a bitmap (its pixels are copied), a graphic drawn onto a bitmap, or
  // another JPEG image.
  void Assign(TPersistent* source) override;
  void AssignTo(TPersistent* dest) override;
  bool Empty() const override;
  int Width() const override;
  int Height() const override;
  void SetWidth(int v) override;
  void SetHeight(int v) override;

  int CompressionQuality() const { return FQuality; }
  void SetCompressionQuality(int v);
  bool Grayscale() const { return FGrayscale; }
  void SetGrayscale(bool v);

  // Writes the loaded bytes unchanged, or compresses the pixels anew.
  void SaveToStream(TStream* stream) override;
  void LoadFromStream(TStream* stream) override;
  // Compresses now (done by SaveToStream when needed).
  void Compress();
  // The decoded pixels as a bitmap (owned by the image).
  TBitmap* Bitmap();

protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;

private:
  TBitmap* FBitmap = nullptr;
  std::vector<uint8_t> FData;  // compressed form; empty when the pixels changed since
  int FQuality = 90;
  bool FGrayscale = false;
};

class TPicture : public TPersistent {
  CL_CLASS(TPicture, TPersistent)
public:
  TPicture() = default;
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  TGraphic* Graphic() const { return FGraphic; }
  // Keeps a copy of the graphic (null empties the picture).
  void SetGraphic(TGraphic* value);
  // The graphic as a bitmap / icon; another kind is replaced by an empty one.
  TBitmap* Bitmap();
  void SetBitmap(TBitmap* v) { SetGraphic(v); }
  TIcon* Icon();
  void SetIcon(TIcon* v) { SetGraphic(v); }
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }

  void Assign(TPersistent* source) override;
  void AssignTo(TPersistent* dest) override;
  // By the file's extension; EInvalidGraphic "Unknown picture file extension (.%s)".
  void LoadFromFile(const AnsiString& fileName);
  // Saves the graphic (nothing when empty).
  void SaveToFile(const AnsiString& fileName);
  // A bitmap, icon or RCDATA resource (the kind told by the bytes).
  void LoadFromResourceName(HINSTANCE instance, const AnsiString& name);

  TNotifyEvent OnChange;

protected:
  virtual void Changed(TObject* sender);

private:
  void TakeGraphic(TGraphic* g);
  TGraphic* FGraphic = nullptr;
};

void UnitInit_graphics();
void UnitFini_graphics();
