// Wide text on the class library's canvas, drawn and measured the way the
// canvas's own ANSI text routines do it, and a picture that loads and saves
// under a wide file name.
#pragma once

#include "graphics.h"

// The text clipped to rect, at (x, y); opaque unless the brush is clear.
void WideCanvasTextRect(TCanvas* canvas, const TRect& rect, int x, int y, const WideString& text);
// The text at (x, y); the pen moves to the end of it.
void WideCanvasTextOut(TCanvas* canvas, int x, int y, const WideString& text);
// GetTextExtentPoint32W of the whole text; (0, 0) when the call fails.
TSize WideDCTextExtent(HDC dc, const WideString& text);
TSize WideCanvasTextExtent(TCanvas* canvas, const WideString& text);
int WideCanvasTextWidth(TCanvas* canvas, const WideString& text);
int WideCanvasTextHeight(TCanvas* canvas, const WideString& text);

class TUcPicture : public TPicture {
  CL_CLASS(TUcPicture, TPicture)
public:
  TUcPicture() = default;
  // The class library loads by ANSI name: it is given the file's short (8.3)
  // path, which any code page can spell (the long name for ".jpeg", whose
  // short form would change the extension, and when there is no short path).
  void LoadFromFile(const WideString& fileName);
  // Saves into a new file beside the target, then moves it over the target in
  // one step, so a failure never leaves the target deleted. Nothing happens
  // for an empty picture.
  void SaveToFile(const WideString& fileName);
};
