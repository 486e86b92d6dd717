// What the screen shows, taken from the screen itself: the open File and Edit
// menus under the platform's fonts (every caption stands apart from its
// shortcut text), and the folder tree's root after Save As.
#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
