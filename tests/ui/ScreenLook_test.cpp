// What the screen shows, taken from the screen itself: the open File and Edit
// menus under the platform's fonts (every caption stands apart from its
// shortcut text), the folder tree's root after Save As, and the main window
// after each change of its size.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "UiTestUtil.h"

namespace {

// A shot of the screen and where it was taken.
struct TScreenShot {
  RECT Area{};
  TCapturedImage Image;
  uint32_t At(int x, int y) const { return Image.Pixels[static_cast<size_t>(y) * Image.Width + x]; }
};

TScreenShot ShootScreen(const RECT& area) { return {area, CaptureScreen(area)}; }

// The widest run of blank columns between the first and the last inked
// column of a row of a menu (ink: a pixel that differs from the row's
// background by much).
int WidestGap(const TScreenShot& shot, const RECT& row) {
  const uint32_t background = shot.At(row.right - shot.Area.left - 3, (row.top + row.bottom) / 2 - shot.Area.top);
  auto ink = [&](uint32_t p) {
    int d = 0;
    for (int s = 0; s < 24; s += 8) d += std::abs(int((p >> s) & 0xFF) - int((background >> s) & 0xFF));
    return d > 150;
  };
  int first = -1, last = -1, gap = 0, run = 0;
  // Leave out the check-mark column at the left and the frame at the right.
  for (int x = row.left + 18; x < row.right - 4; ++x) {
    bool inked = false;
    for (int y = row.top + 2; y < row.bottom - 2; ++y)
      if (ink(shot.At(x - shot.Area.left, y - shot.Area.top))) inked = true;
    if (inked) {
      if (first >= 0) gap = std::max(gap, run);
      if (first < 0) first = x;
      last = x;
      run = 0;
    } else if (first >= 0) {
      ++run;
    }
  }
  (void)last;
  return gap;
}

struct TMenuShot {
  HMENU Menu = nullptr;
  HWND Owner = nullptr;
  TScreenShot Shot;
  std::vector<RECT> Rows;
  bool Done = false;
};
TMenuShot* Pending = nullptr;

void CALLBACK ShootMenu(HWND, UINT, UINT_PTR, DWORD) {
  if (!Pending || Pending->Done) return;
  HWND popup = FindWindowW(L"#32768", nullptr);
  if (!popup || !IsWindowVisible(popup)) return;
  RECT area;
  GetWindowRect(popup, &area);
  Pending->Shot = ShootScreen(area);
  for (int i = 0; i < GetMenuItemCount(Pending->Menu); ++i) {
    RECT r{};
    GetMenuItemRect(Pending->Owner, Pending->Menu, i, &r);
    Pending->Rows.push_back(r);
  }
  Pending->Done = true;
}

class MenuLookTest : public MainWindowTest {};

// The fonts the window frame and the menus are drawn in are there, not
// stand-ins of another width.
TEST(PlatformFonts, FrameAndMenuFontsAreInstalled) {
  for (const wchar_t* face : {L"Marlett", L"Tahoma"}) {
    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfCharSet = DEFAULT_CHARSET;
    wcscpy(lf.lfFaceName, face);
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t used[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, used);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    EXPECT_EQ(std::wstring(used), std::wstring(face));
  }
}

TEST_F(MenuLookTest, CaptionsStandApartFromShortcuts) {
  const HWND main = F->Handle();
  SetForegroundWindow(main);
  HMENU bar = GetMenu(main);
  for (int index : {0, 1}) {
    TMenuShot shot;
    shot.Menu = GetSubMenu(bar, index);
    shot.Owner = main;
    Pending = &shot;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &ShootMenu);
    RECT bar0;
    GetMenuItemRect(main, bar, index, &bar0);
    {
      // The menu closes once it was shot, or after the harness's bound.
      EndMenuWhen ends([&] { return shot.Done; }, "menu " + std::to_string(index) + " seen open and shot");
      TrackPopupMenuEx(shot.Menu, TPM_LEFTALIGN | TPM_TOPALIGN, bar0.left, bar0.bottom, main, nullptr);
      KillTimer(nullptr, timer);
      Pending = nullptr;
      ASSERT_TRUE(ends.Result());
    }
    KeepShot(shot.Shot.Image, "menu" + std::to_string(index));
    for (int i = 0; i < GetMenuItemCount(shot.Menu); ++i) {
      wchar_t text[256] = {};
      GetMenuStringW(shot.Menu, i, text, 256, MF_BYPOSITION);
      if (!wcschr(text, L'\t')) continue;
      EXPECT_GE(WidestGap(shot.Shot, shot.Rows[i]), 10)
          << "menu " << index << " item " << i << ": the caption runs into its shortcut";
    }
  }
}

TEST_F(MenuLookTest, TheRootNodeShowsTheNewListNameAtOnce) {
  TestTree tree;
  tree.Folder("sub");
  Scan(tree.Root());
  TempDir out;
  {
    // Save of a new list asks for its name.
    KeepCurrentFolder keep;
    DialogDriver answers({{"", IDOK, out.File("a much longer name of the list.vq"), ""}});
    F->saveAction->Execute();
    ASSERT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  TUcTreeNode* root = F->tvTreeOfFile->Items()->GetFirstNode();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Text(), L"a much longer name of the list.vq");
  const HWND view = F->tvTreeOfFile->Handle();
  // TVM_GETITEMRECT takes the item's handle in the rectangle's first bytes.
  RECT item = {};
  const HTREEITEM id = root->ItemId();
  std::memcpy(&item, &id, sizeof id);
  ASSERT_TRUE(SendMessageW(view, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&item)));
  RECT area = {0, item.top, 0, item.bottom};
  RECT client;
  GetClientRect(view, &client);
  area.right = client.right;
  MapWindowPoints(view, nullptr, reinterpret_cast<POINT*>(&area), 2);
  // What the screen shows once the window has handled its messages, and
  // what a full repaint draws: the same.
  ASSERT_TRUE(WaitFor([&] { return !GetUpdateRect(view, nullptr, FALSE) && !GetQueueStatus(QS_ALLINPUT); },
                      "the tree view handled its messages and painted"));
  const TScreenShot shown = ShootScreen(area);
  InvalidateRect(view, nullptr, TRUE);
  UpdateWindow(view);
  const TScreenShot repainted = ShootScreen(area);
  EXPECT_TRUE(shown.Image.Pixels == repainted.Image.Pixels) << "the root's new text appears only after a repaint";
}

// The main window maximized, restored, made wider and narrower shows after
// each change what it draws when the whole of it is repainted: no frame of a
// panel stays where the panel's edge was, no strip is left unpainted.
TEST_F(MenuLookTest, EverySizeShowsWhatAWholeRepaintDraws) {
  TestTree tree;
  tree.Folder("sub");
  tree.File("sub\\a.txt", 10);
  tree.File("b.txt", 2000);
  Scan(tree.Root());
  ASSERT_GT(F->lvInfo->Items()->Count(), 0);
  const HWND main = F->Handle();
  SetForegroundWindow(main);
  // The pointer out of the window's way: a hint popping up or a button lit
  // under it between the two shots would be no fault of the painting.
  SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);
  RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  // The client area on the screen: the frame is the platform's, and the
  // repaint below leaves it alone.
  auto shownArea = [&] {
    RECT r;
    GetClientRect(main, &r);
    MapWindowPoints(main, nullptr, reinterpret_cast<POINT*>(&r), 2);
    IntersectRect(&r, &r, &screen);
    return r;
  };
  // Laid out to the new size, every message handled, nothing left to paint
  // (QS_PAINT stands for any window of the thread).
  auto settled = [&] {
    return F->Panel->Width() == F->ClientWidth() && F->StatusBar1->Width() == F->ClientWidth() &&
           !GetQueueStatus(QS_ALLINPUT);
  };
  const int designWidth = F->Width();
  const struct {
    const char* Name;
    std::function<void()> Change;
    std::function<bool()> Done;
  } changes[] = {
      {"maximized", [&] { ShowWindow(main, SW_MAXIMIZE); }, [&] { return IsZoomed(main) && F->Width() > designWidth; }},
      {"restored", [&] { ShowWindow(main, SW_RESTORE); }, [&] { return !IsZoomed(main) && F->Width() == designWidth; }},
      {"wider", [&] { F->SetWidth(designWidth + 150); }, [&] { return F->Width() == designWidth + 150; }},
      {"narrower", [&] { F->SetWidth(designWidth - 80); }, [&] { return F->Width() == designWidth - 80; }},
  };
  for (const auto& change : changes) {
    change.Change();
    ASSERT_TRUE(WaitFor([&] { return change.Done() && settled(); },
                        std::string("the window ") + change.Name + " and painted"));
    const RECT area = shownArea();
    const TCapturedImage shown = CaptureScreen(area);
    RECT whole;
    GetWindowRect(main, &whole);
    IntersectRect(&whole, &whole, &screen);
    KeepShot(CaptureScreen(whole), std::string("main-") + change.Name);
    RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ASSERT_TRUE(WaitFor(settled, std::string("the window ") + change.Name + " repainted whole"));
    const TCapturedImage repainted = CaptureScreen(area);
    ASSERT_EQ(repainted.Pixels.size(), shown.Pixels.size());
    int differing = 0;
    RECT where = {shown.Width, shown.Height, -1, -1};
    for (int y = 0; y < shown.Height; ++y)
      for (int x = 0; x < shown.Width; ++x)
        if (shown.At(x, y) != repainted.At(x, y)) {
          ++differing;
          where = {std::min<LONG>(where.left, x), std::min<LONG>(where.top, y), std::max<LONG>(where.right, x),
                   std::max<LONG>(where.bottom, y)};
        }
    EXPECT_EQ(differing, 0) << change.Name << ": " << differing << " pixels of the client area between (" << where.left
                            << ", " << where.top << ") and (" << where.right << ", " << where.bottom
                            << ") change when the window is repainted whole";
    if (differing) {
      KeepShot(shown, std::string("main-") + change.Name + "-shown");
      KeepShot(repainted, std::string("main-") + change.Name + "-repainted");
    }
  }
}

}  // namespace
