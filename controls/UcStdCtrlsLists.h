// Combo box and list box with wide items in Unicode COMBOBOX and LISTBOX
// windows: wide item lists, items, choice and text kept across a new window,
// the combo box's wide type-ahead and completion, wide owner drawing and the
// virtual list box's wide texts.
#pragma once

#include "stdctrls_lists.h"

#include "UcClasses.h"
#include "UcControls.h"

class TUcCustomComboBox;
class TUcCustomListBox;

// A combo box's own search for FindString, in place of the window's.
// {63BEBEF4-B1A2-495A-B558-7487B66F6827}
extern const GUID IID_IUcComboFindString;
class IUcComboFindString {
public:
  // The first item after startIndex (wrapping) that text leads to; -1 when none.
  virtual int FindString(const WideString& text, int startIndex) = 0;

protected:
  ~IUcComboFindString() = default;
};

// The wide family of the class library's item lists: wide messages to a
// Unicode window, else the class library's item list with conversion.
struct TUcItemCalls {
  using String = WideString;
  using Strings = TUcStrings;
  using Char = wchar_t;
  // The wide items kept while the control has no window (null otherwise).
  static TUcStringList* Pending(TCustomComboBox* combo);
  static TUcStringList* Pending(TCustomListBox* listBox);
  static bool Native(TWinControl* control);
  static AnsiString Narrow(const WideString& s);
  static WideString Widen(const AnsiString& s);
  static LRESULT Send(HWND wnd, UINT msg, WPARAM w, LPARAM l) { return SendMessageW(wnd, msg, w, l); }
  static LPARAM Param(const WideString& s) { return reinterpret_cast<LPARAM>(s.c_bstr()); }
  static WideString Text(TCustomComboBox* combo);
  static void SetText(TCustomComboBox* combo, const WideString& s);
};

// The items of a combo box with wide strings.
class TUcComboBoxStrings : public TComboItemsCore<TUcItemCalls> {
  CL_CLASS(TUcComboBoxStrings, TUcStrings)
public:
  using TComboItemsCore::TComboItemsCore;
};

class TUcListBoxStrings : public TListItemsCore<TUcItemCalls> {
  CL_CLASS(TUcListBoxStrings, TUcStrings)
public:
  using TListItemsCore::TListItemsCore;
  TCustomListBox* GetListBox() const { return FBox; }
};

// ===========================================================================
// Combo box

class TUcCustomComboBox : public TCustomComboBox, public IWideCustomListControl {
  CL_CLASS(TUcCustomComboBox, TCustomComboBox)
  CL_DECLARE_MESSAGE_MAP(TUcCustomComboBox)
public:
  explicit TUcCustomComboBox(TComponent* owner);
  ~TUcCustomComboBox() override;

  UC_WIDE_CAPTION_MEMBERS
  UC_WIDE_HINT_MEMBERS
  UC_STANDARD_OVERRIDES

  TUcStrings* Items() const { return FWideItems; }
  void SetItems(TUcStrings* v) { FWideItems->Assign(v); }
  // Selection of the edit field in wide characters.
  int GetItemIndex() override;
  void SetItemIndex(int v) override;
  // Where the wide items are kept while the combo box has no window and
  // cannot have one yet (no parent); null once it can.
  TUcStringList* PendingWideItems();
  int GetSelStart() override;
  void SetSelStart(int v) override;
  int GetSelLength() override;
  void SetSelLength(int v) override;
  WideString SelText();
  void SetSelText(const WideString& v);

  void AddItem(const WideString& item, TObject* object) override;
  // The chosen item with its object, added to a wide or ANSI list control.
  template <class TListControl> void CopySelection(TListControl* destination) {
    int index = ItemIndex();
    if (index >= 0) WideListControl_AddItem(destination, FWideItems->Get(index), FWideItems->GetObject(index));
  }
  bool GetInterface(const GUID& iid, void** obj) override;

  // IUcComboFindString when the combo box has it, else the window's search.
  int FindString(int start, const WideString& text);
  // The first match, -1 when none or when a second item matches too.
  int FindUniqueString(const WideString& text);
  bool AutoCompleteItem(const WideString& search, bool preserveCase, bool uniqueOnly);
  // Completion of the edit styles for the edit child's WM_CHAR; the message's
  // character becomes 0 when it completed an item.
  void DoEditCharMsg(TMessage& message);
  virtual bool GetAutoComplete_PreserveDataEntryCase() { return true; }
  virtual bool GetAutoComplete_UniqueMatchOnly() { return false; }
  void DrawItem(int index, const TRect& rect, TOwnerDrawState state) override;
  void ComboWndProc(TMessage& message, HWND child, WNDPROC childProc) override;

protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void KeyPress(char& key) override;
  LRESULT CallChildProc(WNDPROC proc, HWND child, const TMessage& message) override;
  TComboAutoCompleteOps<WideString> WideAutoCompleteOps();
  void CNCommand(TMessage& m);
  void WMChar(TMessage& m);

  TUcComboBoxStrings* FWideItems;
  TUcStringList* FSaveWideItems = nullptr;
  int FSaveWideIndex = -1;
  WideString FWideFilter;
  DWORD FLastWideTime = 0;
};

class TUcComboBox : public TUcCustomComboBox {
  CL_CLASS(TUcComboBox, TUcCustomComboBox)
public:
  explicit TUcComboBox(TComponent* owner) : TUcCustomComboBox(owner) {}
};

// ===========================================================================
// List box

using TLBGetWideDataEvent = TEvent<void(TWinControl* control, int index, WideString& data)>;

class TUcCustomListBox : public TCustomListBox, public IWideCustomListControl {
  CL_CLASS(TUcCustomListBox, TCustomListBox)
public:
  explicit TUcCustomListBox(TComponent* owner);
  ~TUcCustomListBox() override;

  UC_WIDE_HINT_MEMBERS
  UC_STANDARD_OVERRIDES

  TUcStrings* Items() const { return FWideItems; }
  void SetItems(TUcStrings* v) { FWideItems->Assign(v); }
  void AddItem(const WideString& item, TObject* object) override;
  int GetItemIndex() override;
  void SetItemIndex(int v) override;
  // Where the wide items are kept while the list box has no window and
  // cannot have one yet (no parent); null once it can.
  TUcStringList* PendingWideItems();
  // The chosen items (every selected one of a multi-select list box) with
  // their objects; texts end at an embedded zero.
  template <class TListControl> void CopySelection(TListControl* destination) {
    auto copyOne = [&](int i) {
      WideString s = FWideItems->Get(i);
      int zero = s.Pos(WideString(L'\0'));
      if (zero > 0) s = s.SubString(1, zero - 1);
      WideListControl_AddItem(destination, s, FWideItems->GetObject(i));
    };
    if (MultiSelect()) {
      for (int i = 0, n = FWideItems->GetCount(); i < n; ++i)
        if (Selected(i)) copyOne(i);
    } else if (ItemIndex() >= 0) {
      copyOne(ItemIndex());
    }
  }
  bool GetInterface(const GUID& iid, void** obj) override;
  // The wide text of a virtual item: OnData (wide), else the class library's
  // OnData widened.
  WideString DoGetWideData(int index, bool& found);
  void DrawItem(int index, const TRect& rect, TOwnerDrawState state) override;

  TLBGetWideDataEvent OnWideData;

protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void AnswerVirtualText(TMessage& message) override;

  TUcListBoxStrings* FWideItems;
  TUcStringList* FSaveWideItems = nullptr;
  int FSaveWideTopIndex = 0;
  int FSaveWideItemIndex = -1;
};

class TUcListBox : public TUcCustomListBox {
  CL_CLASS(TUcListBox, TUcCustomListBox)
public:
  explicit TUcListBox(TComponent* owner) : TUcCustomListBox(owner) {}
};

void UnitInit_UcStdCtrlsLists();
void UnitFini_UcStdCtrlsLists();
