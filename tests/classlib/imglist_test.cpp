// Image lists: adding bitmaps, masks and icons, drawing normally and
// disabled (colours read back from the pixels), change links.
#include <gtest/gtest.h>

#include "harness.h"
#include "imglist.h"

#include <shellapi.h>

#include <memory>

namespace {
TBitmap* Square(TColor fill, TColor border, int size = 16) {
  auto* b = new TBitmap;
  b->SetPixelFormat(pf24bit);
  b->SetSize(size, size);
  b->Canvas()->Brush()->SetColor(border);
  b->Canvas()->FillRect(Rect(0, 0, size, size));
  b->Canvas()->Brush()->SetColor(fill);
  b->Canvas()->FillRect(Rect(4, 4, size - 4, size - 4));
  return b;
}

struct TCounter {
  int N = 0;
  TObject* Last = nullptr;
  void Hit(TObject* s) {
    ++N;
    Last = s;
  }
};

// Draws image i of the list on a green bitmap and returns it.
TBitmap* Rendered(TCustomImageList& list, int index, bool enabled) {
  auto* out = new TBitmap;
  out->SetPixelFormat(pf24bit);
  out->SetSize(20, 20);
  out->Canvas()->Brush()->SetColor(clLime);
  out->Canvas()->FillRect(Rect(0, 0, 20, 20));
  list.Draw(out->Canvas(), 2, 2, index, enabled);
  return out;
}
}  // namespace

TEST(ImageList, AddsMaskedImagesAndDrawsThemTransparent) {
  TImageList list(nullptr);
  EXPECT_EQ(list.Width(), 16);
  EXPECT_EQ(list.Count(), 0);
  std::unique_ptr<TBitmap> red(Square(clRed, clFuchsia));
  std::unique_ptr<TBitmap> blue(Square(clBlue, clFuchsia));
  EXPECT_EQ(list.AddMasked(red.get(), clFuchsia), 0);
  EXPECT_EQ(list.AddMasked(blue.get(), clDefault), 1);  // bottom-left pixel: fuchsia
  EXPECT_EQ(list.Count(), 2);
  std::unique_ptr<TBitmap> out(Rendered(list, 1, true));
  EXPECT_EQ(out->Canvas()->Pixels(10, 10), clBlue);
  EXPECT_EQ(out->Canvas()->Pixels(3, 3), clLime);  // the mask colour is see-through

  // A strip adds one image per Width pixels.
  TBitmap strip;
  strip.SetPixelFormat(pf24bit);
  strip.SetSize(48, 16);
  EXPECT_EQ(list.Add(&strip, nullptr), 2);
  EXPECT_EQ(list.Count(), 5);

  // Out of range: drawing does nothing, deleting raises.
  std::unique_ptr<TBitmap> none(Rendered(list, 99, true));
  EXPECT_EQ(none->Canvas()->Pixels(10, 10), clLime);
  EXPECT_THROW(list.Delete(5), EInvalidOperation);
  EXPECT_THROW(list.Delete(-1), EInvalidOperation);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 4);
  std::unique_ptr<TBitmap> first(Rendered(list, 0, true));
  EXPECT_EQ(first->Canvas()->Pixels(10, 10), clBlue);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(ImageList, DisabledImagesAreEmbossed) {
  TImageList list(nullptr);
  std::unique_ptr<TBitmap> img(Square(clBlack, clWhite));
  list.AddMasked(img.get(), clWhite);
  std::unique_ptr<TBitmap> out(Rendered(list, 0, false));
  // The dark square appears in the shadow colour, its highlight copy one
  // pixel down-right shows at the far edge, the rest stays.
  EXPECT_EQ(ColorToRGB(out->Canvas()->Pixels(8, 8)), ColorToRGB(clBtnShadow));
  EXPECT_EQ(ColorToRGB(out->Canvas()->Pixels(2 + 12, 2 + 12)), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(out->Canvas()->Pixels(3, 3), clLime);
}

TEST(ImageList, IconsBitmapsBackAndBackgroundColour) {
  TImageList list(nullptr);
  list.SetBkColor(clWhite);
  EXPECT_EQ(ImageList_GetBkColor(list.Handle()), RGB(255, 255, 255));
  TIcon empty;
  EXPECT_EQ(list.AddIcon(&empty), -1);
  EXPECT_EQ(list.AddIcon(nullptr), -1);
  // A shell icon, as the program's lists hold them.
  char sys[MAX_PATH];
  GetSystemDirectoryA(sys, MAX_PATH);
  HICON small = nullptr;
  ASSERT_EQ(ExtractIconExA((std::string(sys) + "\\shell32.dll").c_str(), 3, nullptr, &small, 1), 1u);
  TIcon icon;
  icon.SetHandle(small);
  EXPECT_EQ(list.AddIcon(&icon), 0);
  EXPECT_EQ(list.Count(), 1);

  TBitmap back;
  list.GetBitmap(0, &back);
  EXPECT_EQ(back.Width(), 16);
  EXPECT_EQ(back.Height(), 16);
  TIcon again;
  list.GetIcon(0, &again);
  EXPECT_FALSE(again.Empty());
  EXPECT_THROW(list.GetIcon(3, &again), EInvalidOperation);

  // A new size empties the list.
  list.SetWidth(32);
  EXPECT_EQ(list.Count(), 0);
  int w = 0, h = 0;
  ImageList_GetIconSize(list.Handle(), &w, &h);
  EXPECT_EQ(w, 32);
}

TEST(ImageList, ChangeLinksAreToldAndLetGo) {
  auto* list = new TImageList(nullptr);
  TCounter counter, own;
  list->OnChange = MakeEvent<&TCounter::Hit>(&own);
  auto* link = new TChangeLink;
  link->OnChange = MakeEvent<&TCounter::Hit>(&counter);
  list->RegisterChanges(link);
  EXPECT_EQ(link->Sender(), list);
  std::unique_ptr<TBitmap> img(Square(clRed, clWhite));
  list->AddMasked(img.get(), clWhite);
  EXPECT_EQ(counter.N, 1);
  EXPECT_EQ(counter.Last, list);
  EXPECT_EQ(own.N, 1);
  list->BeginUpdate();
  list->AddMasked(img.get(), clWhite);
  list->AddMasked(img.get(), clWhite);
  EXPECT_EQ(counter.N, 1);
  list->EndUpdate();
  EXPECT_EQ(counter.N, 2);  // one notice for the batch
  delete link;              // unregisters itself
  list->Clear();
  EXPECT_EQ(counter.N, 2);
  auto* link2 = new TChangeLink;
  list->RegisterChanges(link2);
  delete list;  // the link learns that its list is gone
  EXPECT_EQ(link2->Sender(), nullptr);
  delete link2;
}

TEST(ImageList, SharedHandleIsNotDestroyed) {
  HIMAGELIST shared = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 1);
  {
    TImageList list(nullptr);
    list.SetShareImages(true);
    list.SetHandle(shared);
    EXPECT_EQ(list.Handle(), shared);
  }
  EXPECT_EQ(ImageList_GetImageCount(shared), 0);  // still a valid list
  EXPECT_TRUE(ImageList_Destroy(shared));
}

TEST(ImageList, AssignCopiesTheImages) {
  TImageList a(nullptr), b(nullptr);
  std::unique_ptr<TBitmap> img(Square(clRed, clWhite));
  a.SetBkColor(clWhite);
  a.AddMasked(img.get(), clWhite);
  b.Assign(&a);
  EXPECT_EQ(b.Count(), 1);
  EXPECT_NE(b.Handle(), a.Handle());
  EXPECT_EQ(b.BkColor(), clWhite);
  a.Clear();
  EXPECT_EQ(b.Count(), 1);
}
