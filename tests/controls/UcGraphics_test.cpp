// Wide text on a canvas (measuring, pen position, clipping by pixels) and the
// picture that loads and saves under wide file names.
#include "ControlsTestUtil.h"

#include "UcGraphics.h"
#include "UcSysUtils.h"

#include <gtest/gtest.h>

namespace {

// A white 32-bit DIB section with a canvas on it.
struct TDibCanvas : DibSurface {
  TDibCanvas(int w, int h) : DibSurface(w, h), Canvas(new TCanvas()) { Canvas->SetHandle(DC()); }
  ~TDibCanvas() {
    Canvas->SetHandle(nullptr);
    delete Canvas;
  }
  uint32_t At(int x, int y) const { return Pixel(x, y); }
  int CountNot(uint32_t color, const RECT& r, bool inside) const {
    int n = 0;
    for (int y = 0; y < Height(); ++y)
      for (int x = 0; x < Width(); ++x) {
        bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        if (in == inside && Pixel(x, y) != color) ++n;
      }
    return n;
  }
  TCanvas* Canvas;
};

}  // namespace

TEST(UcGraphics, MeasuringWideText) {
  TDibCanvas dib(50, 20);
  TSize empty = WideCanvasTextExtent(dib.Canvas, L"");
  EXPECT_EQ(empty.cx, 0);
  EXPECT_EQ(empty.cy, 0);
  TSize one = WideCanvasTextExtent(dib.Canvas, L"\u65E5");
  TSize two = WideCanvasTextExtent(dib.Canvas, L"\u65E5\u65E5");
  EXPECT_GT(one.cx, 0);
  EXPECT_EQ(two.cx, 2 * one.cx);
  EXPECT_EQ(WideCanvasTextWidth(dib.Canvas, L"\u0416"), WideDCTextExtent(dib.DC(), L"\u0416").cx);
  EXPECT_EQ(WideCanvasTextHeight(dib.Canvas, L"\u0416"), one.cy);
}

TEST(UcGraphics, TextOutMovesThePenToTheEndOfTheText) {
  TDibCanvas dib(200, 40);
  WideCanvasTextOut(dib.Canvas, 7, 9, kMixedText);
  TPoint pen = dib.Canvas->PenPos();
  EXPECT_EQ(pen.x, 7 + WideCanvasTextWidth(dib.Canvas, kMixedText));
  EXPECT_EQ(pen.y, 9);
  EXPECT_GT(dib.CountNot(0xFFFFFF, RECT{0, 0, 200, 40}, true), 0);
}

TEST(UcGraphics, TextRectPaintsNothingOutsideTheRectangle) {
  TDibCanvas dib(120, 50);
  RECT r{20, 10, 70, 30};
  dib.Canvas->Brush()->SetColor(clRed);
  dib.Canvas->Font()->SetColor(clBlack);
  dib.Canvas->Font()->SetHeight(-30);
  WideCanvasTextRect(dib.Canvas, r, 5, 0, L"\u0416\u65E5\u0416\u65E5\u0416");
  EXPECT_EQ(dib.CountNot(0xFFFFFF, r, false), 0);
  // Opaque: the rectangle is filled with the brush.
  EXPECT_EQ(dib.At(r.right - 1, r.bottom - 1), 0xFF0000u);

  TDibCanvas clear(120, 50);
  clear.Canvas->Brush()->SetStyle(bsClear);
  clear.Canvas->Font()->SetHeight(-30);
  WideCanvasTextRect(clear.Canvas, r, 5, 0, L"\u0416\u65E5\u0416\u65E5\u0416");
  EXPECT_EQ(clear.CountNot(0xFFFFFF, r, false), 0);
  EXPECT_GT(clear.CountNot(0xFFFFFF, r, true), 0);
  EXPECT_EQ(clear.At(r.right - 1, r.bottom - 1), 0xFFFFFFu);
}

namespace {

std::wstring WideTempFolder(const TempDir& tmp, const wchar_t* name) {
  std::wstring folder = AnsiToWide(tmp.Path().c_str()).str() + L"\\" + name;
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

int FilesIn(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

void SetBitmap(TUcPicture& picture, int w, int h, TColor color) {
  auto* bmp = new TBitmap();
  bmp->SetSize(w, h);
  bmp->Canvas()->Brush()->SetColor(color);
  bmp->Canvas()->FillRect(TRect(0, 0, w, h));
  picture.SetGraphic(bmp);
  delete bmp;
}

}  // namespace

TEST(UcPicture, SavesAndLoadsInAFolderTheCodePageCannotSpell) {
  TempDir tmp;
  std::wstring folder = WideTempFolder(tmp, L"\u65E5\u672C\u8A9E \u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
  std::wstring file = folder + L"\\\u5199\u771F.bmp";
  TUcPicture picture;
  picture.SaveToFile(file);  // empty picture: nothing
  EXPECT_FALSE(WideFileExists(file));

  SetBitmap(picture, 8, 6, clRed);
  picture.SaveToFile(file);
  ASSERT_TRUE(WideFileExists(file));
  EXPECT_EQ(FilesIn(folder), 1);  // no temporary file left behind

  TUcPicture loaded;
  loaded.LoadFromFile(file);
  EXPECT_EQ(loaded.Width(), 8);
  EXPECT_EQ(loaded.Height(), 6);

  // Saving again replaces the file.
  SetBitmap(picture, 12, 3, clBlue);
  picture.SaveToFile(file);
  EXPECT_EQ(FilesIn(folder), 1);
  loaded.LoadFromFile(file);
  EXPECT_EQ(loaded.Width(), 12);
  EXPECT_EQ(loaded.Height(), 3);
  DeleteFileW(file.c_str());
  RemoveDirectoryW(folder.c_str());
}

TEST(UcPicture, AFailedSaveLeavesTheTargetAndNoTemporaryFile) {
  TempDir tmp;
  std::wstring folder = WideTempFolder(tmp, L"\u0416\u0443\u043A");
  // The target is a folder: the new file cannot take its place.
  std::wstring target = folder + L"\\taken.bmp";
  CreateDirectoryW(target.c_str(), nullptr);
  TUcPicture picture;
  SetBitmap(picture, 4, 4, clGreen);
  EXPECT_THROW(picture.SaveToFile(target), EOSError);
  DWORD attr = GetFileAttributesW(target.c_str());
  EXPECT_TRUE(attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(FilesIn(folder), 0);
  RemoveDirectoryW(target.c_str());
  RemoveDirectoryW(folder.c_str());
}
