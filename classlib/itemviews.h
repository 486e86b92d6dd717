// What the tree view (treeview.h) and the list view (listview.h) share: the
// state a custom-draw notification reports, the fonts handed to the control
// while a handler draws, the sort types, and the members both views declare
// for the behaviour written once in TItemViewShared (itemviews_shared.h).
#pragma once

#include "controls.h"
#include "graphics.h"

#include <commctrl.h>

#include <cstdint>

// What a custom-draw notification says about the item (the CDIS_ bits).
using TCustomDrawState = uint16_t;

// The fonts a view's custom drawing hands the control. The control draws with
// the font selected into its DC, so two holders take turns: the one handed
// over for the previous cell stays alive while the control may still have it
// selected.
class TViewDrawFonts {
public:
  TViewDrawFonts();
  ~TViewDrawFonts();
  TViewDrawFonts(const TViewDrawFonts&) = delete;
  TViewDrawFonts& operator=(const TViewDrawFonts&) = delete;
  // Starts a handler's drawing on canvas with the view's font and colour.
  static void Begin(TControlCanvas* canvas, HDC dc, TFont* font, TColor color);
  // Selects a copy of font into dc and fills the colour fields; CDRF_NEWFONT.
  LRESULT HandOver(HDC dc, COLORREF& text, COLORREF& textBk, TFont* font, TColor textColor, TColor bkColor);
  // Ends a handler's drawing: CDRF_SKIPDEFAULT, or what the canvas holds.
  LRESULT End(TControlCanvas* canvas, HDC dc, COLORREF& text, COLORREF& textBk, bool defaultDraw);

private:
  TFont* FFonts[2];
  int FTurn = 0;
};
enum : uint16_t {
  cdsSelected = 0x01, cdsGrayed = 0x02, cdsDisabled = 0x04, cdsChecked = 0x08, cdsFocused = 0x10,
  cdsDefault = 0x20, cdsHot = 0x40, cdsMarked = 0x80, cdsIndeterminate = 0x100
};

enum TSortType : uint8_t { stNone, stData, stText, stBoth };

// What the tree view and the list view do alike (the mouse-down with the
// control's drag loop, the window's coming and going, colours, borders, the
// editing and sorting rules) is written once, in TItemViewShared<TView>.
template <class TView> struct TItemViewShared;

// The members both views have for it.
#define CL_ITEM_VIEW_MEMBERS                                                   \
 protected:                                                                    \
  template <class> friend struct TItemViewShared;                              \
  /* WM_LBUTTONDOWN / WM_RBUTTONDOWN: TItemViewShared::TrackedButtonDown. */   \
  void WMButtonDown(TMessage& m);                                              \
  /* CM_COLORCHANGED / CM_FONTCHANGED: the colours go to the window. */        \
  void CMColorsChanged(TMessage& m);                                           \
  void ImageListChange(TObject* sender);                                       \
  /* Sends a message to the window through its whole procedure chain. */       \
  LRESULT SendItemMessage(UINT msg, WPARAM w, LPARAM l);                       \
  /* The window for an item operation: made when it can be (the view has a  */ \
  /* parent), null when it cannot or the view is going. */                     \
  HWND ItemsHandle();                                                          \
  /* The native items mirror the objects (false before they are inserted   */ \
  /* into a new window and while it goes). */                                  \
  bool FNativeItemsValid = false;                                              \
  bool FWindowGoing = false;                                                   \
  /* Native items of moving nodes go without their objects. */                 \
  bool FMovingNodes = false;                                                   \
  /* Objects being put back into a new window: no events. */                   \
  int FRestoring = 0;                                                          \
  /* A click the control reported inside its drag loop, told after it. */      \
  bool FClickPending = false;                                                  \
  bool FInButtonDown = false;
