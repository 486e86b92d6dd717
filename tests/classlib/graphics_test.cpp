// Colours, fonts, the canvas over foreign device contexts, bitmaps in the BMP
// format (checked against files Python writes and reads), icons, and JPEG
// output checked against the standard quantisation tables and decoded by the
// system's own codec.
#include <gtest/gtest.h>

#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics.h"
#include "harness.h"

namespace {

// A 32-bit DIB section selected into a memory DC: a foreign device context.
using TDibDC = DibSurface;

// A canvas over dib fills it with lime, then draws graphic at (x, y).
void DrawOverLime(TDibDC& dib, TGraphic* graphic, int x, int y) {
  TCanvas c;
  c.SetHandle(dib.DC());
  c.Brush()->SetColor(clLime);
  c.FillRect(Rect(0, 0, dib.Width(), dib.Height()));
  c.Draw(x, y, graphic);
  c.SetHandle(nullptr);
}

bool Near(COLORREF a, COLORREF b, int tol) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tol && std::abs(GetGValue(a) - GetGValue(b)) <= tol &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tol;
}

std::string StreamBytes(TMemoryStream& s) {
  return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

void LoadBytes(TGraphic* g, const std::string& bytes) {
  TMemoryStream s;
  if (!bytes.empty()) s.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  s.SetPosition(0);
  g->LoadFromStream(&s);
}

}  // namespace

// --- colours, fonts, pens, brushes -----------------------------------------

TEST(Graphics, ColoursAndNames) {
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clInfoBk), GetSysColor(COLOR_INFOBK));
  EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
  EXPECT_EQ(static_cast<uint32_t>(clBtnFace), 0x8000000Fu);
  EXPECT_EQ(static_cast<uint32_t>(clBtnHighlight), 0x80000014u);
  EXPECT_EQ(ColorToString(clBtnShadow), "clBtnShadow");
  EXPECT_EQ(StringToColor("clWhite"), clWhite);
  EXPECT_EQ(StringToColor("CLRED"), clRed);
  EXPECT_EQ(StringToColor("$00112233"), 0x112233);
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_THROW(StringToColor("clNoSuchColour"), EConvertError);
  int cs = 0;
  ASSERT_TRUE(IdentToCharset("RUSSIAN_CHARSET", cs));
  EXPECT_EQ(cs, RUSSIAN_CHARSET);
  AnsiString name;
  ASSERT_TRUE(CharsetToIdent(EASTEUROPE_CHARSET, name));
  EXPECT_EQ(name, "EASTEUROPE_CHARSET");
}

TEST(Graphics, FontValuesReachTheHandle) {
  TFont f;
  EXPECT_EQ(f.Size(), 8);
  EXPECT_EQ(f.Height(), -MulDiv(8, ScreenLogPixels, 72));
  int changes = 0;
  f.OnChange = TNotifyEvent::Free(+[](TObject*) {});
  struct Counter {
    int* N;
    void Hit(TObject*) { ++*N; }
  } counter{&changes};
  f.OnChange = MakeEvent<&Counter::Hit>(&counter);
  f.SetName("Arial");
  f.SetSize(12);
  f.SetStyle(fsBold | fsItalic | fsUnderline);
  f.SetCharset(RUSSIAN_CHARSET);
  f.SetCharset(RUSSIAN_CHARSET);  // no change, no event
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(f.Size(), 12);
  LOGFONTA lf{};
  ASSERT_EQ(GetObjectA(f.Handle(), sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_STREQ(lf.lfFaceName, "Arial");
  EXPECT_EQ(lf.lfCharSet, RUSSIAN_CHARSET);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_TRUE(lf.lfItalic);
  EXPECT_TRUE(lf.lfUnderline);
  EXPECT_FALSE(lf.lfStrikeOut);
  EXPECT_EQ(lf.lfHeight, -MulDiv(12, ScreenLogPixels, 72));

  // Taking another font's values.
  TFont g;
  g.SetHandle(f.Handle());
  EXPECT_EQ(g.Name(), "Arial");
  EXPECT_EQ(g.Charset(), RUSSIAN_CHARSET);
  EXPECT_EQ(g.Style(), fsBold | fsItalic | fsUnderline);

  // Assign carries the size in points to another resolution.
  TFont p;
  p.SetPixelsPerInch(600);
  p.Assign(&f);
  EXPECT_EQ(p.Size(), 12);
  EXPECT_EQ(p.Height(), -100);
}

TEST(Graphics, HandlesAreSharedByValueAndFreedWithTheLastUser) {
  HFONT shared;
  {
    auto a = std::make_unique<TFont>();
    auto b = std::make_unique<TFont>();
    a->SetName("Courier New");
    b->SetName("Courier New");
    shared = a->Handle();
    EXPECT_EQ(shared, b->Handle());
    b->SetCharset(RUSSIAN_CHARSET);
    EXPECT_NE(b->Handle(), shared);
    EXPECT_EQ(GetObjectType(shared), static_cast<DWORD>(OBJ_FONT));  // a still uses it
    a.reset();
    EXPECT_EQ(GetObjectType(shared), 0u);  // the last user is gone
  }

  HBRUSH brush;
  {
    TBrush b1, b2;
    b1.SetColor(clRed);
    b2.SetColor(clRed);
    brush = b1.Handle();
    EXPECT_EQ(brush, b2.Handle());
    b2.SetColor(clNone);
    EXPECT_EQ(b2.Style(), bsClear);
    b2.SetColor(clBlue);
    EXPECT_EQ(b2.Style(), bsSolid);
  }
  EXPECT_EQ(GetObjectType(brush), 0u);
}

// --- the canvas on a device context it does not own ---------------------------

TEST(Graphics, CanvasDrawsOnAForeignDCAndGivesItBackClean) {
  TDibDC dib(60, 40);
  HGDIOBJ origFont = GetCurrentObject(dib.DC(), OBJ_FONT);
  HGDIOBJ origBrush = GetCurrentObject(dib.DC(), OBJ_BRUSH);
  HGDIOBJ origPen = GetCurrentObject(dib.DC(), OBJ_PEN);
  {
    TCanvas c;
    c.SetHandle(dib.DC());
    c.Brush()->SetColor(clRed);
    c.FillRect(Rect(0, 0, 30, 40));
    c.Pen()->SetColor(clBlue);
    c.MoveTo(55, 0);
    c.LineTo(55, 40);
    EXPECT_EQ(c.PenPos(), TPoint(55, 40));
    c.Brush()->SetColor(clWhite);
    c.Font()->SetColor(clBlack);
    c.Font()->SetName("Arial");
    c.Font()->SetHeight(-14);
    c.TextOut(2, 2, "WWW");
    EXPECT_EQ(c.PenPos().x, 2 + c.TextWidth("WWW"));
    EXPECT_GT(c.TextHeight("W"), 0);
    EXPECT_EQ(c.Pixels(45, 20), clWhite);
    c.SetPixels(50, 30, clLime);
    EXPECT_EQ(c.Pixels(50, 30), clLime);
    // The canvas's objects are selected while it draws...
    EXPECT_NE(GetCurrentObject(dib.DC(), OBJ_FONT), origFont);
    c.SetHandle(nullptr);
  }
  // ...and the DC's own ones are back when it lets go.
  EXPECT_EQ(GetCurrentObject(dib.DC(), OBJ_FONT), origFont);
  EXPECT_EQ(GetCurrentObject(dib.DC(), OBJ_BRUSH), origBrush);
  EXPECT_EQ(GetCurrentObject(dib.DC(), OBJ_PEN), origPen);
  EXPECT_EQ(dib.At(10, 35), RGB(255, 0, 0));
  EXPECT_EQ(dib.At(55, 30), RGB(0, 0, 255));
  EXPECT_EQ(dib.At(50, 30), RGB(0, 255, 0));
  // The text left black pixels on the white background it painted.
  EXPECT_GT(dib.Count(RGB(0, 0, 0), RECT{2, 2, 30, 20}), 10);
}

TEST(Graphics, TextRectClipsAndClearBrushLeavesTheBackground) {
  TDibDC dib(80, 30);
  TCanvas c;
  c.SetHandle(dib.DC());
  c.Brush()->SetColor(clYellow);
  c.Font()->SetColor(clBlue);
  c.TextRect(Rect(0, 0, 20, 30), 2, 2, "MMMMMMMMMM");
  EXPECT_EQ(dib.Count(RGB(0, 0, 255), RECT{20, 0, 80, 30}), 0);  // clipped
  EXPECT_EQ(dib.At(1, 25), RGB(255, 255, 0));                   // opaque background
  c.Brush()->SetStyle(bsClear);
  c.TextRect(Rect(40, 0, 80, 30), 42, 2, "M");
  EXPECT_EQ(dib.At(78, 28), RGB(255, 255, 255));  // not painted
  c.SetHandle(nullptr);
}

TEST(Graphics, Frame3DDrawsEdgesAndShrinksTheRectangle) {
  TDibDC dib(20, 20);
  TCanvas c;
  c.SetHandle(dib.DC());
  TRect r(0, 0, 20, 20);
  Frame3D(&c, r, clRed, clBlue, 2);
  EXPECT_EQ(r, TRect(2, 2, 18, 18));
  c.SetHandle(nullptr);
  EXPECT_EQ(dib.At(0, 5), RGB(255, 0, 0));    // left
  EXPECT_EQ(dib.At(5, 0), RGB(255, 0, 0));    // top
  EXPECT_EQ(dib.At(19, 5), RGB(0, 0, 255));   // right
  EXPECT_EQ(dib.At(5, 19), RGB(0, 0, 255));   // bottom
  EXPECT_EQ(dib.At(0, 19), RGB(0, 0, 255));   // bottom-left corner closed by the bottom line
  EXPECT_EQ(dib.At(1, 1), RGB(255, 0, 0));    // second ring
  EXPECT_EQ(dib.At(10, 10), RGB(255, 255, 255));
}

// --- bitmaps ----------------------------------------------------------------

namespace {
// Python writes the BMP files: an independent writer of the format.
std::string PythonBmp(const std::string& script) {
  std::string out;
  int rc = RunUnix("python3 -c '" + script + "'", &out);
  EXPECT_EQ(rc, 0);
  return out;
}
const char* PyHex = "import struct,sys;";
std::string Unhex(const std::string& hex) {
  std::string r;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) r += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return r;
}
}  // namespace

TEST(Graphics, BitmapReadsBmpFilesOfEveryDepth) {
  // 24-bit, bottom-up, 3x2: rows padded to 12 bytes.
  std::string b24 = Unhex(PythonBmp(std::string(PyHex) +
      "px=[[(255,0,0),(0,255,0),(0,0,255)],[(10,20,30),(200,100,50),(0,0,0)]];"  // top row first, RGB
      "rows=b\"\".join(b\"\".join(bytes((b,g,r)) for r,g,b in row)+b\"\\0\\0\\0\" for row in reversed(px));"
      "hdr=struct.pack(\"<IiiHHIIiiII\",40,3,2,1,24,0,len(rows),0,0,0,0);"
      "f=b\"BM\"+struct.pack(\"<IHHI\",14+40+len(rows),0,0,54)+hdr+rows;"
      "sys.stdout.write(f.hex())"));
  TBitmap b;
  LoadBytes(&b, b24);
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  EXPECT_EQ(b.Canvas()->Pixels(0, 0), static_cast<TColor>(RGB(255, 0, 0)));
  EXPECT_EQ(b.Canvas()->Pixels(2, 0), static_cast<TColor>(RGB(0, 0, 255)));
  EXPECT_EQ(b.Canvas()->Pixels(1, 1), static_cast<TColor>(RGB(200, 100, 50)));

  // 8-bit RLE with a palette, 4x2 (RLE rows run bottom-up).
  std::string rle = Unhex(PythonBmp(std::string(PyHex) +
      "pal=bytes([0,0,0,0, 0,0,255,0, 0,255,0,0]);"  // 0 black, 1 red, 2 green (BGRx)
      "data=bytes([4,2, 0,0, 2,1,2,2, 0,0, 0,1]);"     // bottom row green x4; top row red,red,green,green
      "hdr=struct.pack(\"<IiiHHIIiiII\",40,4,2,1,8,1,len(data),0,0,3,0);"
      "f=b\"BM\"+struct.pack(\"<IHHI\",14+40+12+len(data),0,0,14+40+12)+hdr+pal+data;"
      "sys.stdout.write(f.hex())"));
  TBitmap r;
  LoadBytes(&r, rle);
  ASSERT_EQ(r.Width(), 4);
  EXPECT_EQ(r.PixelFormat(), pf8bit);
  EXPECT_EQ(r.Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(r.Canvas()->Pixels(3, 0), clLime);
  EXPECT_EQ(r.Canvas()->Pixels(1, 1), clLime);

  // 32-bit top-down (negative height).
  std::string td = Unhex(PythonBmp(std::string(PyHex) +
      "rows=bytes([255,0,0,0, 0,0,255,0]);"  // top: blue; bottom: red
      "hdr=struct.pack(\"<IiiHHIIiiII\",40,1,-2,1,32,0,8,0,0,0,0);"
      "f=b\"BM\"+struct.pack(\"<IHHI\",14+40+8,0,0,54)+hdr+rows;"
      "sys.stdout.write(f.hex())"));
  TBitmap t;
  LoadBytes(&t, td);
  EXPECT_EQ(t.Canvas()->Pixels(0, 0), clBlue);
  EXPECT_EQ(t.Canvas()->Pixels(0, 1), clRed);

  // The old core header, 1 bit.
  std::string core = Unhex(PythonBmp(std::string(PyHex) +
      "pal=bytes([0,0,0, 255,255,255]);"
      "rows=bytes([0b01000000,0,0,0]);"  // one row: black, white
      "hdr=struct.pack(\"<IHHHH\",12,2,1,1,1);"
      "f=b\"BM\"+struct.pack(\"<IHHI\",14+12+6+4,0,0,14+12+6)+hdr+pal+rows;"
      "sys.stdout.write(f.hex())"));
  TBitmap m;
  LoadBytes(&m, core);
  EXPECT_EQ(m.PixelFormat(), pf1bit);
  EXPECT_EQ(m.Canvas()->Pixels(0, 0), clBlack);
  EXPECT_EQ(m.Canvas()->Pixels(1, 0), clWhite);
}

TEST(Graphics, BitmapRefusesBrokenFiles) {
  std::string good;
  {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(4, 4);
    TMemoryStream s;
    b.SaveToStream(&s);
    good = StreamBytes(s);
  }
  TBitmap b;
  EXPECT_THROW(LoadBytes(&b, "XX" + good.substr(2)), EInvalidGraphic);
  EXPECT_THROW(LoadBytes(&b, good.substr(0, good.size() - 5)), EInvalidGraphic);  // truncated pixels
  EXPECT_THROW(LoadBytes(&b, good.substr(0, 20)), EInvalidGraphic);               // truncated header
  std::string huge = good;
  int32_t big = 100000;
  huge.replace(18, 4, reinterpret_cast<const char*>(&big), 4);  // width
  huge.replace(22, 4, reinterpret_cast<const char*>(&big), 4);  // height
  EXPECT_THROW(LoadBytes(&b, huge), EInvalidGraphic);
  std::string badDepth = good;
  badDepth[28] = 7;
  EXPECT_THROW(LoadBytes(&b, badDepth), EInvalidGraphic);
  EXPECT_TRUE(b.Empty());  // nothing half-loaded
  LoadBytes(&b, "");
  EXPECT_TRUE(b.Empty());
}

TEST(Graphics, BitmapSavesWhatPythonReadsBack) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(5, 3);
  b.Canvas()->Brush()->SetColor(static_cast<TColor>(RGB(10, 20, 30)));
  b.Canvas()->FillRect(Rect(0, 0, 5, 3));
  b.Canvas()->SetPixels(4, 0, static_cast<TColor>(RGB(250, 1, 2)));
  TempDir dir;
  b.SaveToFile(AnsiString(dir.File("x.bmp")));
  std::string out;
  ASSERT_EQ(RunUnix("python3 -c 'import struct,sys; d=open(sys.argv[1],\"rb\").read();"
                    "w,h=struct.unpack(\"<ii\",d[18:26]); bpp=struct.unpack(\"<H\",d[28:30])[0];"
                    "off=struct.unpack(\"<I\",d[10:14])[0]; stride=(w*3+3)//4*4;"
                    "row=d[off+(h-1)*stride:off+h*stride];"  // bottom-up: the last row is the top one
                    "print(w,h,bpp,len(d),struct.unpack(\"<I\",d[2:6])[0],row[12:15].hex(),row[0:3].hex())' " +
                        UnixPath(dir.File("x.bmp")),
                    &out),
            0);
  // 5x3 24-bit: stride 16, file 54 + 48 bytes; top-right pixel BGR 02 01 fa.
  EXPECT_EQ(out, "5 3 24 102 102 0201fa 1e140a\n");

  TBitmap back;
  back.LoadFromFile(AnsiString(dir.File("x.bmp")));
  EXPECT_EQ(back.Canvas()->Pixels(4, 0), static_cast<TColor>(RGB(250, 1, 2)));
  EXPECT_EQ(back.Canvas()->Pixels(0, 2), static_cast<TColor>(RGB(10, 20, 30)));
}

TEST(Graphics, BitmapSizeFormatAssignAndTransparency) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(4, 4);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, 4, 4));
  b.SetSize(6, 5);  // grows: the old part stays, the new part is white
  EXPECT_EQ(b.Canvas()->Pixels(3, 3), clRed);
  EXPECT_EQ(b.Canvas()->Pixels(5, 4), clWhite);
  EXPECT_EQ(b.TransparentColor(), clWhite);  // the bottom-left pixel is in the new row
  b.Canvas()->SetPixels(0, 4, clFuchsia);
  EXPECT_EQ(b.TransparentColor(), clFuchsia);
  b.SetTransparentColor(clRed);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), clRed);

  TBitmap copy;
  copy.Assign(&b);
  b.Canvas()->SetPixels(0, 0, clBlue);  // a deep copy does not follow
  EXPECT_EQ(copy.Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(copy.Width(), 6);
  EXPECT_EQ(copy.TransparentColor(), clRed);

  // Transparent drawing keeps the destination where the colour is.
  copy.SetTransparent(true);
  copy.Canvas()->SetPixels(1, 1, clBlue);
  TDibDC dib(10, 10);
  DrawOverLime(dib, &copy, 2, 2);
  EXPECT_EQ(dib.At(2, 2), RGB(0, 255, 0));   // red was transparent
  EXPECT_EQ(dib.At(3, 3), RGB(0, 0, 255));   // blue copied
  EXPECT_EQ(dib.At(7, 6), RGB(255, 255, 255));  // white copied

  // One bit: white stays, everything else turns black.
  copy.SetPixelFormat(pf1bit);
  EXPECT_TRUE(copy.Monochrome());
  EXPECT_EQ(copy.Canvas()->Pixels(0, 0), clBlack);
  EXPECT_EQ(copy.Canvas()->Pixels(5, 4), clWhite);

  // The handle can be taken away and given back.
  HBITMAP h = b.ReleaseHandle();
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(GetObjectType(h), static_cast<DWORD>(OBJ_BITMAP));
  b.SetHandle(h);
  EXPECT_EQ(b.Width(), 6);
  EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlue);
}

TEST(Graphics, PatternBitmapsAreKeptPerColourPair) {
  TBitmap* a = AllocPatternBitmap(clBtnFace, clBtnHighlight);
  EXPECT_EQ(a, AllocPatternBitmap(clBtnFace, clBtnHighlight));
  EXPECT_NE(a, AllocPatternBitmap(clRed, clBlue));
  TBitmap* p = AllocPatternBitmap(clRed, clBlue);
  EXPECT_EQ(p->Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(p->Canvas()->Pixels(1, 0), clBlue);
  EXPECT_EQ(p->Canvas()->Pixels(1, 1), clRed);
}

// --- icons ---------------------------------------------------------------------

namespace {
HICON MakeIcon(COLORREF color) {
  // 16x16: a coloured square with a transparent 4-pixel border.
  TBitmap c;
  c.SetPixelFormat(pf24bit);
  c.SetSize(16, 16);
  // Outside the square the colour bitmap is black, so that the screen shows
  // through unchanged where the mask is set.
  c.Canvas()->Brush()->SetColor(clBlack);
  c.Canvas()->FillRect(Rect(0, 0, 16, 16));
  c.Canvas()->Brush()->SetColor(static_cast<TColor>(color));
  c.Canvas()->FillRect(Rect(4, 4, 12, 12));
  TBitmap m;
  m.SetPixelFormat(pf1bit);
  m.SetSize(16, 16);  // white = transparent
  m.Canvas()->Brush()->SetColor(clBlack);
  m.Canvas()->FillRect(Rect(4, 4, 12, 12));
  ICONINFO ii{};
  ii.fIcon = TRUE;
  ii.hbmColor = c.Handle();
  ii.hbmMask = m.Handle();
  return CreateIconIndirect(&ii);
}
}  // namespace

TEST(Graphics, IconRoundTripAndDrawing) {
  TIcon icon;
  icon.SetHandle(MakeIcon(RGB(0, 0, 255)));
  EXPECT_EQ(icon.Width(), 16);
  EXPECT_EQ(icon.Height(), 16);
  EXPECT_THROW(icon.SetWidth(32), EInvalidGraphicOperation);
  TMemoryStream s;
  icon.SaveToStream(&s);
  std::string bytes = StreamBytes(s);
  ASSERT_GE(bytes.size(), 22u + 40u);
  EXPECT_EQ(bytes.substr(0, 6), std::string("\0\0\1\0\1\0", 6));
  EXPECT_EQ(static_cast<uint8_t>(bytes[6]), 16);
  EXPECT_EQ(static_cast<uint8_t>(bytes[12]), 32);

  TIcon back;
  LoadBytes(&back, bytes);
  TDibDC dib(20, 20);
  DrawOverLime(dib, &back, 2, 2);
  EXPECT_EQ(dib.At(10, 10), RGB(0, 0, 255));  // the square
  EXPECT_EQ(dib.At(3, 3), RGB(0, 255, 0));    // transparent border
  // A loaded icon saves the bytes it came from.
  TMemoryStream again;
  back.SaveToStream(&again);
  EXPECT_EQ(StreamBytes(again), bytes);

  EXPECT_THROW(LoadBytes(&back, std::string("\0\0\2\0\1\0", 6) + std::string(40, '\0')), EInvalidGraphic);
  std::string bad = bytes;
  uint32_t off = 0x7FFFFFF0;
  bad.replace(18, 4, reinterpret_cast<const char*>(&off), 4);
  EXPECT_THROW(LoadBytes(&back, bad), EInvalidGraphic);

  HICON h = icon.ReleaseHandle();
  EXPECT_TRUE(icon.Empty());
  DestroyIcon(h);
}

// --- JPEG ------------------------------------------------------------------------

namespace {
struct TJpegInfo {
  bool Jfif = false, Baseline = false, Progressive = false;
  int Width = 0, Height = 0, Components = 0, Precision = 0;
  std::vector<std::vector<int>> Tables;  // quantisation tables in zig-zag order
};

TJpegInfo ParseJpeg(const std::string& d) {
  TJpegInfo info;
  EXPECT_EQ(d.substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(d.substr(d.size() - 2), "\xFF\xD9");
  size_t p = 2;
  auto u8 = [&](size_t i) { return static_cast<uint8_t>(d[i]); };
  while (p + 4 <= d.size() && u8(p) == 0xFF) {
    int marker = u8(p + 1);
    int len = (u8(p + 2) << 8) | u8(p + 3);
    if (marker == 0xE0 && d.substr(p + 4, 5) == std::string("JFIF\0", 5)) info.Jfif = true;
    if (marker == 0xDB) {
      for (size_t q = p + 4; q < p + 2 + len; q += 65) {
        EXPECT_EQ(u8(q) >> 4, 0);  // 8-bit tables
        std::vector<int> t;
        for (int i = 0; i < 64; ++i) t.push_back(u8(q + 1 + i));
        info.Tables.push_back(t);
      }
    }
    if (marker == 0xC0 || marker == 0xC2) {
      (marker == 0xC0 ? info.Baseline : info.Progressive) = true;
      info.Precision = u8(p + 4);
      info.Height = (u8(p + 5) << 8) | u8(p + 6);
      info.Width = (u8(p + 7) << 8) | u8(p + 8);
      info.Components = u8(p + 9);
    }
    if (marker == 0xDA) break;
    p += 2 + len;
  }
  return info;
}

// The example tables of the JPEG standard (Annex K), in natural order, scaled
// the way the IJG library scales them for a quality setting.
std::vector<int> ScaledTable(const int (&base)[64], int quality) {
  static const int zigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
  int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
  std::vector<int> r;
  for (int i = 0; i < 64; ++i) r.push_back(std::clamp((base[zigzag[i]] * scale + 50) / 100, 1, 255));
  return r;
}
const int LuminanceK1[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                             14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                             18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                             49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
const int ChrominanceK2[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                               24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                               99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                               99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Decodes with the system's imaging component (a codec independent of ours)
// into top-down BGR rows.
bool SystemDecode(const std::string& path, int& w, int& h, std::vector<uint8_t>& bgr) {
  static const GUID CLSID_WICImagingFactory_ = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
  static const GUID IID_IWICImagingFactory_ = {0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};
  static const GUID GUID_WICPixelFormat24bppBGR_ = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0c}};
  // The vtables are reached by slot number: the factory's CreateDecoderFromFilename
  // (3) and CreateFormatConverter (10); the decoder's GetFrame (13); a bitmap
  // source's GetSize (3) and CopyPixels (7); the converter's Initialize (8).
  using Fn = void**;
  CoInitialize(nullptr);
  void* factory = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory_, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory_, &factory)))
    return false;
  auto slot = [](void* obj, int i) { return (*reinterpret_cast<Fn*>(obj))[i]; };
  auto release = [&](void* obj) { if (obj) reinterpret_cast<ULONG(__stdcall*)(void*)>(slot(obj, 2))(obj); };
  std::wstring wpath(path.begin(), path.end());
  void* decoder = nullptr;
  HRESULT hr = reinterpret_cast<HRESULT(__stdcall*)(void*, LPCWSTR, const GUID*, DWORD, int, void**)>(slot(factory, 3))(
      factory, wpath.c_str(), nullptr, GENERIC_READ, 0 /*on demand*/, &decoder);
  void* frame = nullptr;
  void* conv = nullptr;
  bool ok = false;
  if (SUCCEEDED(hr) &&
      SUCCEEDED(reinterpret_cast<HRESULT(__stdcall*)(void*, UINT, void**)>(slot(decoder, 13))(decoder, 0, &frame)) &&
      SUCCEEDED(reinterpret_cast<HRESULT(__stdcall*)(void*, void**)>(slot(factory, 10))(factory, &conv)) &&
      SUCCEEDED(reinterpret_cast<HRESULT(__stdcall*)(void*, void*, const GUID*, int, void*, double, int)>(slot(conv, 8))(
          conv, frame, &GUID_WICPixelFormat24bppBGR_, 0, nullptr, 0.0, 0))) {
    UINT uw = 0, uh = 0;
    reinterpret_cast<HRESULT(__stdcall*)(void*, UINT*, UINT*)>(slot(conv, 3))(conv, &uw, &uh);
    w = static_cast<int>(uw);
    h = static_cast<int>(uh);
    bgr.assign(static_cast<size_t>(w) * h * 3, 0);
    ok = SUCCEEDED(reinterpret_cast<HRESULT(__stdcall*)(void*, const void*, UINT, UINT, BYTE*)>(slot(conv, 7))(
        conv, nullptr, w * 3, static_cast<UINT>(bgr.size()), bgr.data()));
  }
  release(conv);
  release(frame);
  release(decoder);
  release(factory);
  return ok;
}

void FillHalves(TBitmap& b) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(32, 16);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, 16, 16));
  b.Canvas()->Brush()->SetColor(clBlue);
  b.Canvas()->FillRect(Rect(16, 0, 32, 16));
}
}  // namespace

TEST(Graphics, JpegIsBaselineColourAtQuality90) {
  TBitmap b;
  FillHalves(b);
  TJPEGImage jpg;
  EXPECT_EQ(jpg.CompressionQuality(), 90);
  jpg.Assign(&b);
  EXPECT_EQ(jpg.Width(), 32);
  TempDir dir;
  std::string path = dir.File("halves.jpg");
  jpg.SaveToFile(AnsiString(path));
  std::string bytes = ReadFileBytes(path);
  TJpegInfo info = ParseJpeg(bytes);
  EXPECT_TRUE(info.Jfif);
  EXPECT_TRUE(info.Baseline);
  EXPECT_FALSE(info.Progressive);
  EXPECT_EQ(info.Precision, 8);
  EXPECT_EQ(info.Width, 32);
  EXPECT_EQ(info.Height, 16);
  EXPECT_EQ(info.Components, 3);
  ASSERT_EQ(info.Tables.size(), 2u);
  EXPECT_EQ(info.Tables[0], ScaledTable(LuminanceK1, 90));
  EXPECT_EQ(info.Tables[1], ScaledTable(ChrominanceK2, 90));

  // The system's decoder sees red on the left and blue on the right.
  int w = 0, h = 0;
  std::vector<uint8_t> px;
  ASSERT_TRUE(SystemDecode(path, w, h, px));
  ASSERT_EQ(w, 32);
  ASSERT_EQ(h, 16);
  auto at = [&](int x, int y) {
    const uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 3];
    return RGB(p[2], p[1], p[0]);
  };
  EXPECT_TRUE(Near(at(4, 8), RGB(255, 0, 0), 12));
  EXPECT_TRUE(Near(at(27, 8), RGB(0, 0, 255), 12));

  // Our own decoding agrees, and a loaded image saves its bytes unchanged.
  TJPEGImage back;
  back.LoadFromFile(AnsiString(path));
  EXPECT_TRUE(Near(static_cast<COLORREF>(back.Bitmap()->Canvas()->Pixels(4, 8)), RGB(255, 0, 0), 12));
  TMemoryStream s;
  back.SaveToStream(&s);
  EXPECT_EQ(StreamBytes(s), bytes);

  // Another quality gives other tables; the image is compressed anew.
  back.SetCompressionQuality(50);
  TMemoryStream s50;
  back.SaveToStream(&s50);
  EXPECT_EQ(ParseJpeg(StreamBytes(s50)).Tables[0], ScaledTable(LuminanceK1, 50));

  TBitmap toBitmap;
  toBitmap.Assign(&back);
  EXPECT_EQ(toBitmap.Width(), 32);
}

TEST(Graphics, JpegRefusesBrokenData) {
  TBitmap b;
  FillHalves(b);
  TJPEGImage jpg;
  jpg.Assign(&b);
  TMemoryStream s;
  jpg.SaveToStream(&s);
  std::string bytes = StreamBytes(s);
  TJPEGImage bad;
  EXPECT_THROW(LoadBytes(&bad, bytes.substr(0, 30)), EInvalidGraphic);
  EXPECT_THROW(LoadBytes(&bad, "not a jpeg at all"), EInvalidGraphic);
  EXPECT_THROW(LoadBytes(&bad, ""), EInvalidGraphic);
  TJPEGImage empty;
  TMemoryStream out;
  EXPECT_THROW(empty.SaveToStream(&out), EInvalidGraphic);
  EXPECT_THROW(jpg.SetWidth(5), EInvalidGraphicOperation);
}

// --- pictures ----------------------------------------------------------------

TEST(Graphics, PictureLoadsByExtensionAndKeepsCopies) {
  TempDir dir;
  TBitmap b;
  FillHalves(b);
  b.SaveToFile(AnsiString(dir.File("a.bmp")));
  TJPEGImage j;
  j.Assign(&b);
  j.SaveToFile(AnsiString(dir.File("a.JPEG")));
  TIcon i;
  i.SetHandle(MakeIcon(RGB(1, 2, 3)));
  i.SaveToFile(AnsiString(dir.File("a.ico")));
  WriteFileBytes(dir.File("a.gif"), "GIF89a");

  TPicture p;
  int changes = 0;
  struct Counter {
    int* N;
    void Hit(TObject*) { ++*N; }
  } counter{&changes};
  p.OnChange = MakeEvent<&Counter::Hit>(&counter);
  p.LoadFromFile(AnsiString(dir.File("a.bmp")));
  EXPECT_TRUE(p.Graphic()->Is<TBitmap>());
  EXPECT_EQ(p.Width(), 32);
  p.LoadFromFile(AnsiString(dir.File("a.JPEG")));
  EXPECT_TRUE(p.Graphic()->Is<TJPEGImage>());
  p.LoadFromFile(AnsiString(dir.File("a.ico")));
  EXPECT_TRUE(p.Graphic()->Is<TIcon>());
  EXPECT_EQ(changes, 3);
  try {
    p.LoadFromFile(AnsiString(dir.File("a.gif")));
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.gif)");
  }
  EXPECT_TRUE(p.Graphic()->Is<TIcon>());  // unchanged

  // Asking for a bitmap replaces another kind by an empty bitmap.
  TBitmap* pb = p.Bitmap();
  EXPECT_TRUE(pb->Empty());
  p.SetGraphic(&b);
  EXPECT_NE(p.Graphic(), &b);  // a copy
  b.Canvas()->SetPixels(0, 0, clLime);
  EXPECT_EQ(p.Bitmap()->Canvas()->Pixels(0, 0), clRed);
  TPicture q;
  q.Assign(&p);
  EXPECT_EQ(q.Width(), 32);
  q.Assign(nullptr);
  EXPECT_EQ(q.Graphic(), nullptr);
  p.SaveToFile(AnsiString(dir.File("b.bmp")));
  EXPECT_GT(ReadFileBytes(dir.File("b.bmp")).size(), 54u);
}
