#include "guitest.h"

#include <commctrl.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::vector<std::string>* Recorded = nullptr;

void RecordException(TObject* sender, Exception* e) {
  (void)sender;
  if (!Recorded) Recorded = new std::vector<std::string>();
  Recorded->push_back(e ? e->Message().str() : std::string("?"));
}

bool PumpThroughApplication(MSG& msg) { return Application && Application->ProcessMessage(msg); }

void IdleThroughApplication() {
  if (Application) Application->DoIdle();
}

BOOL CALLBACK CountChild(HWND, LPARAM data) {
  ++*reinterpret_cast<int*>(data);
  return TRUE;
}

BOOL CALLBACK CountTop(HWND wnd, LPARAM data) {
  ++*reinterpret_cast<int*>(data);
  EnumChildWindows(wnd, &CountChild, data);
  return TRUE;
}

}  // namespace

void InstallGuiHarness() {
  PumpMessageHook = &PumpThroughApplication;
  PumpIdleHook = &IdleThroughApplication;
  ScriptDialogs::ClassifyHook = [](HWND wnd, std::string& title, std::string& text) {
    TWinControl* control = FindControl(wnd);
    if (!control || !control->Is<TCustomForm>()) return false;
    auto* form = static_cast<TCustomForm*>(control);
    if (!(form->FormState() & fsModal)) return false;
    title = form->Caption().str();
    text = form->ClassName().str();
    return true;
  };
  ScriptDialogs::AnswerHook = [](HWND wnd, int button) {
    TWinControl* control = FindControl(wnd);
    if (!control || !control->Is<TCustomForm>()) return;
    if (button == 0)
      PostMessageA(wnd, WM_CLOSE, 0, 0);
    else
      static_cast<TCustomForm*>(control)->SetModalResult(button);
  };
}

void GuiTest::SetUp() {
  InstallGuiHarness();
  ASSERT_NE(Application, nullptr);
  Application->OnException = TExceptionEvent::Free(&RecordException);
  TakeExceptions();
}

void GuiTest::TearDown() {
  Pump(0);
  std::vector<std::string> left = TakeExceptions();
  for (const std::string& m : left) ADD_FAILURE() << "exception reached the application: " << m;
  if (Application) Application->OnException.Clear();
}

std::vector<std::string> GuiTest::TakeExceptions() {
  std::vector<std::string> r;
  if (Recorded) r.swap(*Recorded);
  return r;
}

int ThreadWindowCount() {
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountTop, reinterpret_cast<LPARAM>(&n));
  return n;
}

DWORD GuiObjects(DWORD kind) { return GetGuiResources(GetCurrentProcess(), kind); }

COLORREF TCapturedImage::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return CLR_INVALID;
  uint32_t p = Pixels[static_cast<size_t>(y) * Width + x];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int TCapturedImage::Count(COLORREF color, RECT area) const {
  if (area.right <= area.left || area.bottom <= area.top) area = RECT{0, 0, Width, Height};
  int n = 0;
  for (int y = area.top; y < area.bottom && y < Height; ++y)
    for (int x = area.left; x < area.right && x < Width; ++x)
      if (At(x, y) == color) ++n;
  return n;
}

namespace {
// width x height pixels drawn by draw into a 32-bit DIB.
template <class Draw> TCapturedImage Capture(int width, int height, Draw draw) {
  TCapturedImage image;
  image.Width = width;
  image.Height = height;
  if (image.Width <= 0 || image.Height <= 0) return image;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = image.Width;
  bi.bmiHeader.biHeight = -image.Height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, dib);
  draw(dc, screen);
  ReleaseDC(nullptr, screen);
  GdiFlush();
  image.Pixels.assign(static_cast<const uint32_t*>(bits),
                      static_cast<const uint32_t*>(bits) + static_cast<size_t>(image.Width) * image.Height);
  for (uint32_t& p : image.Pixels) p &= 0x00FFFFFF;
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(dib);
  return image;
}

TCapturedImage Capture(HWND wnd, bool clientOnly) {
  RECT r;
  if (!(clientOnly ? GetClientRect(wnd, &r) : GetWindowRect(wnd, &r))) return TCapturedImage();
  return Capture(r.right - r.left, r.bottom - r.top,
                 [&](HDC dc, HDC) { PrintWindow(wnd, dc, clientOnly ? PW_CLIENTONLY : 0); });
}
}  // namespace

TCapturedImage CaptureWindow(HWND wnd) { return Capture(wnd, false); }
TCapturedImage CaptureClient(HWND wnd) { return Capture(wnd, true); }
TCapturedImage CaptureScreen(const RECT& area) {
  return Capture(area.right - area.left, area.bottom - area.top, [&](HDC dc, HDC screen) {
    BitBlt(dc, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top, SRCCOPY);
  });
}

void KeepShot(const TCapturedImage& image, const std::string& name) {
  const char* folder = std::getenv("FENNOLIT_SHOTS");
  if (!folder || !*folder) return;
  std::ofstream out(std::string(folder) + "\\" + name + ".ppm", std::ios::binary);
  out << "P6 " << image.Width << " " << image.Height << " 255\n";
  for (uint32_t p : image.Pixels) out.put(char(p >> 16)).put(char(p >> 8)).put(char(p));
}

HTREEITEM TreeItemByNames(HWND tree, const std::vector<std::wstring>& names, const TTreeItemText& itemText) {
  HTREEITEM item = TreeView_GetRoot(tree);
  for (size_t i = 0; item && i < names.size(); ++i) {
    TreeView_Expand(tree, item, TVE_EXPAND);
    HTREEITEM child = TreeView_GetChild(tree, item);
    while (child && itemText(tree, child) != names[i]) child = TreeView_GetNextSibling(tree, child);
    item = child;
  }
  return item;
}
