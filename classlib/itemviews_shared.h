// The implementation both item views share, for treeview.cpp and listview.cpp
// only: what the tree view and the list view do alike, written once in
// TItemViewShared<TView>, and the small helpers of both files.
#pragma once

#include "forms.h"
#include "itemviews.h"

#include <vector>

class TCustomTreeView;
class TTreeNode;
class TCustomListView;
class TListItem;

// The text the library sorts a node or an item by (defined beside each view).
const AnsiString& SortText(TTreeNode* node);
const AnsiString& SortText(TListItem* item);

namespace {

const char* const SListIndexOutOfBounds = "List index out of bounds (%d)";
const char* const SInsertItemError = "Unable to insert an item";

// Whether the control's window can be made now: its top parent has a window,
// is a form (which makes its own) or has a parent window given. A view that
// cannot keeps its nodes or items as objects until it gets a window.
bool CanMakeWindow(TWinControl* control) {
  TWinControl* top = control;
  while (top->Parent()) top = top->Parent();
  if (top == control && !top->ParentWindow()) return control->Is<TCustomForm>();
  return top->HandleAllocated() || top->ParentWindow() || top->Is<TCustomForm>();
}

// Asks an event that may refuse (its last argument); allowed when not set.
template <class TEventT, class... TArgs> bool Allowed(const TEventT& event, TArgs... args) {
  bool allow = true;
  if (event) event(args..., allow);
  return allow;
}

// Tells an event when it is set.
template <class TEventT, class... TArgs> void Fire(const TEventT& event, TArgs... args) {
  if (event) event(args...);
}

// Sets a property's field; true when the value changed.
template <class T> bool ChangeField(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

// Counts a scope in a counter, also when an exception leaves it.
struct TCountScope {
  int& Counter;
  explicit TCountScope(int& c) : Counter(c) { ++Counter; }
  ~TCountScope() { --Counter; }
  TCountScope(const TCountScope&) = delete;
  TCountScope& operator=(const TCountScope&) = delete;
};

// A BeginUpdate / EndUpdate pair of a node or item collection, also when an
// exception leaves the scope.
template <class TItems> class TUpdateScope {
public:
  explicit TUpdateScope(TItems* items) : FItems(items) { FItems->BeginUpdate(); }
  ~TUpdateScope() { FItems->EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
  TItems* FItems;
};

// The registered node or item classes and their factories.
template <class TFactory> struct TClassFactories {
  struct TEntry {
    const TMetaClass* Class;
    TFactory Factory;
  };
  std::vector<TEntry>* Entries = nullptr;

  void Register(const TMetaClass* cls, TFactory factory) {
    if (!Entries) return;
    for (TEntry& e : *Entries)
      if (e.Class == cls) {
        e.Factory = factory;
        return;
      }
    Entries->push_back({cls, factory});
  }
  template <class TOwner> auto Create(const TMetaClass* cls, TOwner* owner) const {
    if (Entries)
      for (const TEntry& e : *Entries)
        if (e.Class == cls) return e.Factory(owner);
    throw EInvalidOperation(Format("Class %s not found", {cls ? cls->Name : "nil"}));
  }
};
}  // namespace

// ===========================================================================
// What both views do alike

template <class TView> struct TItemViewShared {
  // The constructor's part. Clicks come from the control's own
  // notifications, and it captures the mouse itself.
  static void InitControl(TView* view, int width, int height) {
    view->FControlStyle &= ~(csCaptureMouse | csClickEvents);
    view->FControlStyle |= csDoubleClicks;
    view->SetBounds(0, 0, width, height);
    view->FTabStop = true;
    view->FParentColor = false;
    view->FColor = clWindow;
    view->FBrush->SetColor(clWindow);
  }

  static TChangeLink* NewImageChangeLink(TView* view) {
    auto* link = new TChangeLink();
    link->OnChange = MakeEvent<&TView::ImageListChange>(view);
    return link;
  }

  static void SetImageList(TView* view, TCustomImageList*& field, TCustomImageList* value, TChangeLink* link) {
    if (value == field) return;
    ChangeImageList(view, field, value, link);
    view->SendImageLists();
  }

  // The view's class made by the OnCreate...Class event (TBase when it names
  // none); TError when the class is not TBase's.
  template <class TBase, class TError, class TEventT>
  static const TMetaClass* ChosenClass(TView* view, const TEventT& event, const char* error) {
    const TMetaClass* cls = &TBase::Class;
    if (event) event(view, cls);
    if (!cls || !cls->InheritsFrom(&TBase::Class)) throw TError(error);
    return cls;
  }

  static HWND ItemsHandle(TView* view) {
    if (!view->FHandle && !view->FWindowGoing && !(view->ComponentState() & (csDestroying | csLoading)) &&
        CanMakeWindow(view))
      view->HandleNeeded();
    return view->FHandle;
  }

  static void AddBorder(TView* view, TCreateParams& params) {
    if (view->FBorderStyle != bsSingle) return;
    if (view->FCtl3D)
      params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      params.Style |= WS_BORDER;
  }

  // The window goes: what it held is no longer the objects' mirror, and the
  // items it deletes meanwhile are no deletions of objects.
  static void WindowGoes(TView* view, TMessage& m) {
    view->FNativeItemsValid = false;
    TScopedValue<bool> going(view->FWindowGoing, true);
    view->InheritedMsg(&TWinControl::MessageMap, m);
  }

  // The mouse-down of a view. The default procedure runs a modal loop that
  // waits for the button to come up or the mouse to start a drag, and eats
  // the button-up. So: the default procedure first (the selection and the
  // click notification happen in it), then MouseDown, the click it reported,
  // and, when no button-up is left to come, a MouseUp at the point of the
  // press (the loop ends a click within the drag distance of that point, and
  // a posted click leaves the cursor elsewhere).
  static void TrackedButtonDown(TView* view, TMessage& m) {
    const TMouseButton button = m.Msg == WM_RBUTTONDOWN ? mbRight : mbLeft;
    view->FControlState &= ~csMouseUpSynthesised;
    view->FClickPending = false;
    {
      TScopedValue<bool> inButtonDown(view->FInButtonDown, true);
      view->DefaultHandler(m);
    }
    view->DoMouseDown(m, button, 0);
    if (view->FClickPending) {
      view->FClickPending = false;
      view->Click();
    }
    HWND wnd = view->FHandle;
    if (!wnd) return;
    UINT upMsg = button == mbLeft ? WM_LBUTTONUP : WM_RBUTTONUP;
    int vk = button == mbLeft ? VK_LBUTTON : VK_RBUTTON;
    MSG pending;
    if (PeekMessageA(&pending, wnd, upMsg, upMsg, PM_NOREMOVE) || (GetKeyState(vk) & 0x8000)) return;
    TShiftState shift = KeysToShiftState(MouseKeys(m)) & ~(ssLeft | ssRight | ssMiddle);
    view->FControlState |= csMouseUpSynthesised;
    if (!(view->FControlStyle & csNoStdEvents))
      view->MouseUp(button, shift, static_cast<int>(MouseX(m)), static_cast<int>(MouseY(m)));
  }

  // NM_CLICK and NM_DBLCLK; false for other codes. A click reported inside
  // the drag loop waits for MouseDown.
  static bool ClickNotification(TView* view, UINT code) {
    if (code == static_cast<UINT>(NM_CLICK)) {
      if (view->FInButtonDown)
        view->FClickPending = true;
      else
        view->Click();
      return true;
    }
    if (code == static_cast<UINT>(NM_DBLCLK)) {
      view->DblClick();
      return true;
    }
    return false;
  }

  template <class TItem> static bool CanEdit(TView* view, TItem* item) {
    return !view->FReadOnly && Allowed(view->OnEditing, view, item);
  }

  // The library's compare callback: OnCompare when set, else the data
  // pointers (stData) or the ANSI texts. Runs inside the control's sort:
  // nothing may leave it.
  template <class TItem>
  static int DefaultCompare(TView* view, TItem* a, TItem* b, LPARAM data, const void* dataA, const void* dataB,
                            const AnsiString& textA, const AnsiString& textB) {
    return GuardedCall(
        view,
        [&]() -> int {
          if (view->OnCompare) {
            int compare = 0;
            view->OnCompare(view, a, b, static_cast<int>(data), compare);
            return compare;
          }
          if (view->FSortType == stData) return dataA < dataB ? -1 : (dataA > dataB ? 1 : 0);
          return lstrcmpA(textA.c_str(), textB.c_str());
        },
        0);
  }

  // The library's compare callback as the control calls it, with the
  // objects as lParams.
  template <class TItem> static int SortCallback(LPARAM param1, LPARAM param2, LPARAM data) {
    auto* a = reinterpret_cast<TItem*>(param1);
    auto* b = reinterpret_cast<TItem*>(param2);
    if (!a || !b) return 0;
    return DefaultCompare(OwningView(a), a, b, data, a->Data(), b->Data(), SortText(a), SortText(b));
  }

  // A new SortType sorts at once when it sorts by text, or by data with an
  // OnCompare to say how.
  static bool SortTypeSorts(TView* view, TSortType value) {
    return ((value == stData || value == stBoth) && view->OnCompare) || value == stText || value == stBoth;
  }

  // The outermost BeginUpdate stops the window's drawing, the outermost
  // EndUpdate restarts it and has the whole window drawn.
  static void BeginUpdate(TView* view, int& count) {
    if (count++ == 0 && view->HandleAllocated()) view->SendItemMessage(WM_SETREDRAW, 0, 0);
  }
  static void EndUpdate(TView* view, int& count) {
    if (count <= 0) return;
    if (--count == 0 && view->HandleAllocated()) {
      view->SendItemMessage(WM_SETREDRAW, 1, 0);
      view->Invalidate();
    }
  }
};

// The message table entries of CL_ITEM_VIEW_MEMBERS.
#define CL_ITEM_VIEW_MESSAGES                   \
  CL_MESSAGE(WM_LBUTTONDOWN, WMButtonDown)      \
  CL_MESSAGE(WM_RBUTTONDOWN, WMButtonDown)      \
  CL_MESSAGE(CM_COLORCHANGED, CMColorsChanged)  \
  CL_MESSAGE(CM_FONTCHANGED, CMColorsChanged)

// The members of CL_ITEM_VIEW_MEMBERS, the same for both views.
#define CL_ITEM_VIEW_BODIES(TView)                                                                        \
  void TView::WMButtonDown(TMessage& m) { TItemViewShared<TView>::TrackedButtonDown(this, m); }          \
  void TView::CMColorsChanged(TMessage& m) {                                                             \
    InheritedMsg(&TWinControl::MessageMap, m);                                                           \
    SendColors();                                                                                        \
  }                                                                                                      \
  void TView::ImageListChange(TObject*) { SendImageLists(); }                                            \
  LRESULT TView::SendItemMessage(UINT msg, WPARAM w, LPARAM l) { return SendMessageA(FHandle, msg, w, l); } \
  HWND TView::ItemsHandle() { return TItemViewShared<TView>::ItemsHandle(this); }
