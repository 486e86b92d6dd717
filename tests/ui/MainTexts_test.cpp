// The texts the main window shows in its menus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiTestUtil.h"

namespace {

// Every shortcut text of the menu bar's menus, as the native menus hold them.
std::vector<std::wstring> ShortcutTexts(HMENU bar) {
  std::vector<std::wstring> texts;
  for (int i = 0; i < GetMenuItemCount(bar); ++i) {
    HMENU sub = GetSubMenu(bar, i);
    if (!sub) continue;
    for (int j = 0; j < GetMenuItemCount(sub); ++j) {
      wchar_t buffer[256] = {};
      const int n = GetMenuStringW(sub, j, buffer, 256, MF_BYPOSITION);
      const std::wstring text(buffer, n > 0 ? n : 0);
      const size_t tab = text.find(L'\t');
      if (tab != std::wstring::npos) texts.push_back(text.substr(tab + 1));
    }
  }
  return texts;
}

// One spelling of the modifiers in every menu, whatever the keyboard driver
// calls the keys (Wine under Xvfb calls Ctrl "Control"), and one order of
// them, Ctrl, Alt, Shift: the items bound to actions and the plain ones alike.
TEST_F(MainWindowTest, EveryMenuSpellsItsShortcutsOneWay) {
  // The window's own shortcuts have one modifier each: two more with several,
  // on an item of the wide menus (File) and on a plain one (Edit).
  F->saveAsAction->SetShortCut(ShortCut('A', ssShift | ssCtrl));
  F->N5Action->SetShortCut(ShortCut('D', ssShift | ssAlt | ssCtrl));
  const std::vector<std::wstring> texts = ShortcutTexts(F->mmMenu->Handle());
  ASSERT_GE(texts.size(), 12u) << "the menus carry their shortcuts";
  bool sawNew = false, sawList = false, sawHelp = false, sawSaveAs = false, sawMarkNotNeeded = false;
  for (const std::wstring& text : texts) {
    std::wstring rest = text;
    for (const wchar_t* word : {L"Ctrl+", L"Alt+", L"Shift+"})
      if (rest.rfind(word, 0) == 0) rest.erase(0, wcslen(word));
    EXPECT_EQ(rest.find(L'+'), std::wstring::npos) << Ansi(text.c_str()) << ": a modifier in another spelling or order";
    EXPECT_FALSE(rest.empty()) << Ansi(text.c_str());
    sawNew |= text == L"Ctrl+N";
    sawList |= text == L"Ctrl+L";
    sawHelp |= text == L"Ctrl+F1";
    sawSaveAs |= text == L"Ctrl+Shift+A";
    sawMarkNotNeeded |= text == L"Ctrl+Alt+Shift+D";
  }
  EXPECT_TRUE(sawNew && sawList && sawHelp) << "Ctrl+N (an action's), Ctrl+L (an item's own), Ctrl+F1 (a plain item's)";
  EXPECT_TRUE(sawSaveAs) << "Ctrl+Shift+A on a wide item";
  EXPECT_TRUE(sawMarkNotNeeded) << "Ctrl+Alt+Shift+D on a plain item";
}

}  // namespace
