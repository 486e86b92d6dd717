// The fixture of the tests that drive real windows of the class library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms.h"
#include "harness.h"

// Each test of the fixture: Application->OnException records what reaches it
// (a test that provokes exceptions takes them with TakeExceptions; anything
// left at the end fails the test), Pump runs through the application's
// ProcessMessage and idle work, and library forms shown modally are answered
// by ScriptDialogs (the script's button id becomes the form's ModalResult).
class GuiTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

public:
  // The messages that reached OnException since the last call.
  static std::vector<std::string> TakeExceptions();
};

// A fixture whose tests share one shown form, made once for the suite
// (creating or destroying a shown top-level window waits for the X server for
// a while); the components a test leaves on it are freed after each test.
// The suite's SetUpTestSuite calls SetUpSharedForm with the form's bounds.
template <class Suite> class SharedFormTest : public GuiTest {
protected:
  static inline TForm* Form = nullptr;
  static void SetUpSharedForm(int left, int top, int width, int height) {
    Form = NewForm<TForm>(nullptr);
    Form->SetBounds(left, top, width, height);
    Form->Show();
    Pump(50);
  }
  static void TearDownTestSuite() {
    delete Form;
    Form = nullptr;
  }
  // A new control of class T on the shared form, owned by it, at these bounds.
  template <class T> static T* Place(int left, int top, int width, int height) {
    auto* control = new T(Form);
    control->SetParent(Form);
    control->SetBounds(left, top, width, height);
    return control;
  }
  void TearDown() override {
    while (Form->ComponentCount() > 0) delete Form->Components(Form->ComponentCount() - 1);
    GuiTest::TearDown();
  }
};

// Points the harness hooks (pump, idle, dialog classification) at the
// application object. GuiTest::SetUp calls it; other fixtures may too.
void InstallGuiHarness();

// Windows of this thread: the top-level ones and all their descendants.
int ThreadWindowCount();
// The process's USER (GR_USEROBJECTS) or GDI (GR_GDIOBJECTS) object count.
DWORD GuiObjects(DWORD kind);

// A window's image as PrintWindow paints it (client and frame as the
// platform draws them), 32-bit pixels, top row first.
struct TCapturedImage {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Pixels;  // 0x00RRGGBB
  COLORREF At(int x, int y) const;
  // Pixels of exactly this colour inside the rectangle (whole image by default).
  int Count(COLORREF color, RECT area = RECT{0, 0, 0, 0}) const;
};
TCapturedImage CaptureWindow(HWND wnd);
// The client area only, (0, 0) = the client's top-left corner.
TCapturedImage CaptureClient(HWND wnd);
// What the screen shows in a rectangle of screen coordinates (a window's
// pixels as they stand, without making it paint again).
TCapturedImage CaptureScreen(const RECT& area);
// For a person to look at what a test saw: when FENNOLIT_SHOTS names a
// folder (as the program sees it: Z:\tmp\shots), the image goes there as
// name.ppm.
void KeepShot(const TCapturedImage& image, const std::string& name);

// Reads the text of a tree view's item. A tree of another process (the
// program's own folder chooser) needs a reader that hands it memory of that
// process.
using TTreeItemText = std::function<std::wstring(HWND tree, HTREEITEM item)>;
// The item reached from the tree's root item through children of these
// names, each expanded on the way (the shell's browse dialog fills an item's
// children when it expands); null when a name is missing.
HTREEITEM TreeItemByNames(HWND tree, const std::vector<std::wstring>& names, const TTreeItemText& itemText);

// WM_MEASUREITEM / WM_DRAWITEM for the menu item with the command, as the
// system sends them to the window that owns an owner-drawn menu (wide: sent
// with SendMessageW, as to a Unicode window).
inline MEASUREITEMSTRUCT SendMenuMeasureItem(HWND window, UINT command, LRESULT* result = nullptr, bool wide = false) {
  MEASUREITEMSTRUCT mis{};
  mis.CtlType = ODT_MENU;
  mis.itemID = command;
  const LPARAM lp = reinterpret_cast<LPARAM>(&mis);
  const LRESULT r = wide ? SendMessageW(window, WM_MEASUREITEM, 0, lp) : SendMessageA(window, WM_MEASUREITEM, 0, lp);
  if (result) *result = r;
  return mis;
}

inline LRESULT SendMenuDrawItem(HWND window, UINT command, HDC dc, RECT rect, UINT state, bool wide = false) {
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_MENU;
  dis.itemID = command;
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = state;
  dis.hDC = dc;
  dis.rcItem = rect;
  const LPARAM lp = reinterpret_cast<LPARAM>(&dis);
  return wide ? SendMessageW(window, WM_DRAWITEM, 0, lp) : SendMessageA(window, WM_DRAWITEM, 0, lp);
}
