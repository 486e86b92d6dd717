#include "itemviews.h"

TViewDrawFonts::TViewDrawFonts() : FFonts{new TFont(), new TFont()} {}

TViewDrawFonts::~TViewDrawFonts() {
  delete FFonts[0];
  delete FFonts[1];
}

void TViewDrawFonts::Begin(TControlCanvas* canvas, HDC dc, TFont* font, TColor color) {
  canvas->BeginPaintDC(dc);
  canvas->Font()->Assign(font);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(color);
}

LRESULT TViewDrawFonts::HandOver(HDC dc, COLORREF& text, COLORREF& textBk, TFont* font, TColor textColor,
                                 TColor bkColor) {
  text = ColorToRGB(textColor);
  textBk = ColorToRGB(bkColor);
  FTurn ^= 1;
  FFonts[FTurn]->Assign(font);
  SelectObject(dc, FFonts[FTurn]->Handle());
  return CDRF_NEWFONT;
}

LRESULT TViewDrawFonts::End(TControlCanvas* canvas, HDC dc, COLORREF& text, COLORREF& textBk, bool defaultDraw) {
  TFont* font = canvas->Font();
  TColor textColor = font->Color();
  TColor bkColor = canvas->Brush()->Color();
  canvas->EndPaintDC();
  if (!defaultDraw) return CDRF_SKIPDEFAULT;
  return HandOver(dc, text, textBk, font, textColor, bkColor);
}
