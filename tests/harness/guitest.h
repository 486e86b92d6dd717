// The fixture of the tests that drive real windows of the class library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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
