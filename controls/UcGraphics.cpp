#include "UcGraphics.h"

#include "UcCodePages.h"
#include "UcSysUtils.h"
#include "UcWindows.h"

CL_DEFINE_CLASS(TUcPicture, TPicture)

void WideCanvasTextRect(TCanvas* canvas, const TRect& rect, int x, int y, const WideString& text) {
  canvas->Changing();
  canvas->RequiredState(csHandleValid | csFontValid | csBrushValid);
  UINT options = static_cast<UINT>(canvas->TextFlags()) | ETO_CLIPPED;
  if (canvas->Brush()->Style() != bsClear) options |= ETO_OPAQUE;
  if ((canvas->TextFlags() & ETO_RTLREADING) && canvas->CanvasOrientation() == coRightToLeft)
    x += WideCanvasTextWidth(canvas, text) + 1;
  Uc_ExtTextOutW(canvas->Handle(), x, y, options, &rect, text.c_str(), static_cast<UINT>(text.Length()), nullptr);
  canvas->Changed();
}

void WideCanvasTextOut(TCanvas* canvas, int x, int y, const WideString& text) {
  canvas->Changing();
  canvas->RequiredState(csHandleValid | csFontValid | csBrushValid);
  if (canvas->CanvasOrientation() == coRightToLeft) x += WideCanvasTextWidth(canvas, text) + 1;
  Uc_ExtTextOutW(canvas->Handle(), x, y, static_cast<UINT>(canvas->TextFlags()), nullptr, text.c_str(),
                 static_cast<UINT>(text.Length()), nullptr);
  canvas->MoveTo(x + WideCanvasTextWidth(canvas, text), y);
  canvas->Changed();
}

TSize WideDCTextExtent(HDC dc, const WideString& text) {
  TSize size{0, 0};
  if (!GetTextExtentPoint32W(dc, text.c_str(), text.Length(), &size)) size = TSize{0, 0};
  return size;
}

TSize WideCanvasTextExtent(TCanvas* canvas, const WideString& text) {
  canvas->RequiredState(csHandleValid | csFontValid);
  return WideDCTextExtent(canvas->Handle(), text);
}

int WideCanvasTextWidth(TCanvas* canvas, const WideString& text) { return WideCanvasTextExtent(canvas, text).cx; }

int WideCanvasTextHeight(TCanvas* canvas, const WideString& text) { return WideCanvasTextExtent(canvas, text).cy; }

// ===========================================================================
// TUcPicture

namespace {

// The name the class library's ANSI file routines can open.
AnsiString AnsiFileName(const WideString& fileName) {
  WideString shortName = WideExtractShortPathName(fileName);
  if (shortName.IsEmpty() || Uc_WideLowerCase(WideExtractFileExt(fileName)) == L".jpeg") return WideToAnsi(fileName);
  return WideToAnsi(shortName);
}

BOOL MoveOverTarget(const WideString& from, const WideString& to) {
  if (Win32PlatformIsUnicode) return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
  return MoveFileExA(WideToAnsi(from).c_str(), WideToAnsi(to).c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

void TUcPicture::LoadFromFile(const WideString& fileName) { TPicture::LoadFromFile(AnsiFileName(fileName)); }

void TUcPicture::SaveToFile(const WideString& fileName) {
  if (!Graphic()) return;
  WideString folder = WideExtractFilePath(fileName);
  WideString ext = WideExtractFileExt(fileName);
  WideString temp;
  do {
    temp = folder + AnsiToWide(IntToStr(Random(2147483647))) + ext;
  } while (WideFileExists(temp));
  // Created first, so that the file has a short path the ANSI save can use.
  HANDLE h = WideFileCreate(temp);
  if (h == INVALID_HANDLE_VALUE) RaiseLastOSError();
  CloseHandle(h);
  try {
    TPicture::SaveToFile(AnsiFileName(temp));
    // The old file stays until the new one replaces it in a single step.
    if (!MoveOverTarget(temp, fileName)) RaiseLastOSError();
  } catch (...) {
    WideDeleteFile(temp);
    throw;
  }
}
