// The combo box and the list box (system COMBOBOX and LISTBOX windows): their
// item lists, which live in the window and are kept across its re-creation,
// owner drawing, the virtual list box whose texts come from an event, and
// the combo box's type-ahead and completion.
#pragma once

#include "stdctrls.h"

#include "sysutils.h"

#include <functional>

class TCustomComboBox;
class TCustomListBox;

// 0 and 1 have an edit field; 2 and above pick from the list only.
enum TComboBoxStyle : uint8_t { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
// 3 and 4 hold no strings: the texts come from OnData.
enum TListBoxStyle : uint8_t { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable, lbVirtual, lbVirtualOwnerDraw };

using TDrawItemEvent = TEvent<void(TWinControl* control, int index, TRect rect, TOwnerDrawState state)>;
using TMeasureItemEvent = TEvent<void(TWinControl* control, int index, int& height)>;
using TLBGetDataEvent = TEvent<void(TWinControl* control, int index, AnsiString& data)>;

// A pause of this many milliseconds or more between two keys starts a new
// type-ahead search.
constexpr DWORD ComboTypeAheadTimeout = 1250;

// The time source of the type-ahead (GetTickCount unless a test sets one).
extern DWORD (*ComboTickCount)();

// ---------------------------------------------------------------------------
// Type-ahead and completion, written once for the ANSI combo box and its wide
// descendant: S is the string type, and the combo box's operations come
// through the callbacks.

template <class S> struct TComboAutoCompleteOps {
  std::function<int(int start, const S& text)> FindString;  // prefix, case-insensitive, wrapping
  std::function<S(int index)> Item;
  std::function<S()> GetText;
  std::function<void(const S&)> SetText;
};

// The first item that starts with text, or -1; -1 also when a second item
// starts with it.
template <class S> int ComboFindUniqueString(const TComboAutoCompleteOps<S>& ops, const S& text) {
  int index = ops.FindString(-1, text);
  if (index < 0) return -1;
  int next = ops.FindString(index, text);
  return next >= 0 && next != index ? -1 : index;
}

// Selects the item the search text leads to (edit styles: completes the text
// and selects the completed part); Click and Select when the choice changed.
// False when no item fits.
template <class S>
bool ComboAutoCompleteItem(TCustomComboBox* combo, const TComboAutoCompleteOps<S>& ops, const S& search,
                           bool preserveCase, bool uniqueOnly);

// ---------------------------------------------------------------------------
// Combo box

// The items of a combo box, read from and written to its window.
class TComboBoxStrings : public TStrings {
  CL_CLASS(TComboBoxStrings, TStrings)
public:
  explicit TComboBoxStrings(TCustomComboBox* combo) : FCombo(combo) {}
  // An index outside the list gives an empty string.
  AnsiString Get(int index) override;
  int GetCount() override;
  TObject* GetObject(int index) override;
  void PutObject(int index, TObject* obj) override;
  // EOutOfResources (SInsertLineError) when the window refuses the item.
  int Add(const AnsiString& s) override;
  void Insert(int index, const AnsiString& s) override;
  void Delete(int index) override;
  // The combo box's text stays.
  void Clear() override;
  // Whole items, ignoring case.
  int IndexOf(const AnsiString& s) override;
  void SetUpdateState(bool updating) override;
  TCustomComboBox* ComboBox() const { return FCombo; }

protected:
  HWND Wnd();
  TCustomComboBox* FCombo;
};

class TCustomComboBox : public TWinControl {
  CL_CLASS(TCustomComboBox, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomComboBox)
public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;

  TStrings* Items() const { return FItems; }
  void SetItems(TStrings* v) { FItems->Assign(v); }
  TComboBoxStyle Style() const { return FStyle; }
  void SetStyle(TComboBoxStyle v);
  // -1: nothing chosen.
  virtual int GetItemIndex();
  virtual void SetItemIndex(int v);
  int ItemIndex() { return GetItemIndex(); }
  bool DroppedDown();
  void SetDroppedDown(bool v);
  int DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int v) { FDropDownCount = v; }
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int v);
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int v);
  bool Sorted() const { return FSorted; }
  void SetSorted(bool v);
  // Type-ahead (pick-only styles) and completion (edit styles) while typing.
  bool AutoComplete() const { return FAutoComplete; }
  void SetAutoComplete(bool v) { FAutoComplete = v; }
  // The list opens on the first key typed.
  bool AutoDropDown() const { return FAutoDropDown; }
  void SetAutoDropDown(bool v) { FAutoDropDown = v; }
  TCanvas* Canvas() const { return FCanvas; }
  // The edit child (edit styles) and the list child (csSimple), 0 otherwise.
  HWND EditHandle() const { return FEditHandle; }
  HWND ListHandle() const { return FListHandle; }
  WNDPROC DefEditProc() const { return FDefEditProc; }
  void SetDefEditProc(WNDPROC v) { FDefEditProc = v; }
  WNDPROC DefListProc() const { return FDefListProc; }
  void SetDefListProc(WNDPROC v) { FDefListProc = v; }
  WNDPROC EditInstance() const { return FEditInstance; }
  WNDPROC ListInstance() const { return FListInstance; }

  // Selection of the edit field, in the window's characters.
  virtual int GetSelStart();
  virtual void SetSelStart(int v);
  virtual int GetSelLength();
  virtual void SetSelLength(int v);
  virtual AnsiString GetSelText();
  virtual void SetSelText(const AnsiString& v);
  int SelStart() { return GetSelStart(); }
  int SelLength() { return GetSelLength(); }
  AnsiString SelText() { return GetSelText(); }
  void SelectAll();

  void AddItem(const AnsiString& item, TObject* object);
  void Clear();
  void ClearSelection() { SetItemIndex(-1); }
  // Where the items are kept while the combo box has no window and cannot
  // have one yet (no parent); null once it can.
  TStringList* PendingItems();
  // Adds the chosen item with its object to destination.
  void CopySelection(TStrings* destination);
  // Prefix search after start (wrapping, case-insensitive); -1 when none.
  virtual int FindString(int start, const AnsiString& text);

  void Click() override;
  virtual void Select();
  virtual void Change();
  virtual void DropDown();
  virtual void CloseUp();
  virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

  // The procedure of the edit and list children: key and focus messages go
  // through the combo box's own events, the rest to the child's procedure.
  virtual void ComboWndProc(TMessage& message, HWND child, WNDPROC childProc);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void KeyPress(char& key) override;
  // Calls the child's previous procedure the way it was installed.
  virtual LRESULT CallChildProc(WNDPROC proc, HWND child, const TMessage& message);
  void ReleaseChildren();
  TComboAutoCompleteOps<AnsiString> AnsiAutoCompleteOps();
  void EditWndProc(TMessage& message);
  void ListWndProc(TMessage& message);
  void CNCommand(TMessage& m);
  void CNDrawItem(TMessage& m);
  void CNMeasureItem(TMessage& m);

  TStrings* FItems;
  TControlCanvas* FCanvas;
  TComboBoxStyle FStyle = csDropDown;
  int FDropDownCount = 8;
  int FItemHeight = 16;
  int FMaxLength = 0;
  bool FSorted = false;
  bool FAutoComplete = true;
  bool FAutoDropDown = false;
  HWND FEditHandle = nullptr;
  HWND FListHandle = nullptr;
  WNDPROC FDefEditProc = nullptr;
  WNDPROC FDefListProc = nullptr;
  WNDPROC FEditInstance = nullptr;
  WNDPROC FListInstance = nullptr;
  // Items and choice kept while the window is re-created.
  TStringList* FSaveItems = nullptr;
  int FSaveIndex = -1;
  // The ANSI type-ahead's search text and the time of its last key.
  AnsiString FFilter;
  DWORD FLastTime = 0;
};

class TComboBox : public TCustomComboBox {
  CL_CLASS(TComboBox, TCustomComboBox)
public:
  explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

// ---------------------------------------------------------------------------
// List box

class TListBoxStrings : public TStrings {
  CL_CLASS(TListBoxStrings, TStrings)
public:
  explicit TListBoxStrings(TCustomListBox* listBox) : FListBox(listBox) {}
  // An index outside the list raises the list-index error; the virtual
  // styles ask OnData.
  AnsiString Get(int index) override;
  int GetCount() override;
  TObject* GetObject(int index) override;
  void PutObject(int index, TObject* obj) override;
  int Add(const AnsiString& s) override;
  void Insert(int index, const AnsiString& s) override;
  void Delete(int index) override;
  void Clear() override;
  int IndexOf(const AnsiString& s) override;
  // Keep the item data and the chosen item.
  void Put(int index, const AnsiString& s) override;
  void Exchange(int index1, int index2) override;
  void Move(int curIndex, int newIndex) override;
  void SetUpdateState(bool updating) override;
  TCustomListBox* ListBox() const { return FListBox; }
  void SetListBox(TCustomListBox* v) { FListBox = v; }

protected:
  TCustomListBox* FListBox;
};

class TCustomListBox : public TWinControl {
  CL_CLASS(TCustomListBox, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomListBox)
  template <class L> friend void ListBoxItemsMove(L* items, TCustomListBox* listBox, int curIndex, int newIndex);

public:
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;

  TStrings* Items() const { return FItems; }
  void SetItems(TStrings* v) { FItems->Assign(v); }
  TListBoxStyle Style() const { return FStyle; }
  void SetStyle(TListBoxStyle v);
  bool IsVirtual() const { return FStyle == lbVirtual || FStyle == lbVirtualOwnerDraw; }
  // -1: nothing chosen (the caret item of a multi-select list box).
  virtual int GetItemIndex();
  virtual void SetItemIndex(int v);
  int ItemIndex() { return GetItemIndex(); }
  int TopIndex();
  void SetTopIndex(int v);
  // The number of items; settable for the virtual styles only.
  int Count();
  void SetCount(int v);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool v);
  bool ExtendedSelect() const { return FExtendedSelect; }
  void SetExtendedSelect(bool v);
  bool Sorted() const { return FSorted; }
  void SetSorted(bool v);
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int v);
  bool Selected(int index);
  void SetSelected(int index, bool v);
  int SelCount();
  TCanvas* Canvas() const { return FCanvas; }
  // Set while Items.Move runs (the item is deleted and inserted again).
  bool Moving() const { return FMoving; }
  void SetMoving(bool v) { FMoving = v; }

  void AddItem(const AnsiString& item, TObject* object);
  void Clear();
  // Where the items are kept while the list box has no window and cannot
  // have one yet (no parent); null once it can.
  TStringList* PendingItems();
  // The chosen items (every selected one of a multi-select list box) with
  // their objects, added to destination.
  void CopySelection(TStrings* destination);
  int ItemAtPos(const TPoint& pos, bool existing);
  TRect ItemRect(int index);
  // The window's own operations behind Items.
  void DeleteString(int index);
  void ResetContent();
  // The text OnData gives an item (virtual styles), empty without a handler.
  virtual AnsiString DoGetData(int index);
  virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;
  TLBGetDataEvent OnData;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& message) override;
  // LB_GETTEXT / LB_GETTEXTLEN of the virtual styles, from OnData.
  virtual void AnswerVirtualText(TMessage& message);
  void CNCommand(TMessage& m);
  void CNDrawItem(TMessage& m);
  void CNMeasureItem(TMessage& m);

  TStrings* FItems;
  TControlCanvas* FCanvas;
  TListBoxStyle FStyle = lbStandard;
  int FItemHeight = 16;
  int FCount = 0;  // virtual styles, while there is no window
  bool FMultiSelect = false;
  bool FExtendedSelect = true;
  bool FSorted = false;
  bool FMoving = false;
  TStringList* FSaveItems = nullptr;
  int FSaveTopIndex = 0;
  int FSaveItemIndex = -1;
};

class TListBox : public TCustomListBox {
  CL_CLASS(TListBox, TCustomListBox)
public:
  explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

void UnitInit_stdctrls_lists();
void UnitFini_stdctrls_lists();

// ---------------------------------------------------------------------------

template <class S>
bool ComboAutoCompleteItem(TCustomComboBox* combo, const TComboAutoCompleteOps<S>& ops, const S& search,
                           bool preserveCase, bool uniqueOnly) {
  int index = uniqueOnly ? ComboFindUniqueString(ops, search) : ops.FindString(-1, search);
  if (index < 0) return false;
  const S item = ops.Item(index);
  bool changed = combo->Style() == csDropDown ? item != ops.GetText() : index != combo->ItemIndex();
  combo->SetItemIndex(index);
  if (combo->Style() < csDropDownList) {
    S text = preserveCase ? search + item.SubString(search.Length() + 1, item.Length()) : item;
    ops.SetText(text);
    combo->SetSelStart(search.Length());
    combo->SetSelLength(text.Length() - search.Length());
  }
  if (changed) {
    combo->Click();
    combo->Select();
  }
  return true;
}

// Type-ahead of the pick-only styles for one typed character: true when the
// character chose an item (the caller swallows it). filter and lastTime are
// the combo box's search text and the time of its last key.
template <class S, class C>
bool ComboTypeAheadChar(TCustomComboBox* combo, const TComboAutoCompleteOps<S>& ops, S& filter, DWORD& lastTime,
                        C key) {
  switch (key) {
    case 8:
      if (!filter.IsEmpty()) filter = filter.SubString(1, filter.Length() - 1);
      return false;
    case 9:
      if (combo->AutoDropDown() && combo->DroppedDown()) combo->SetDroppedDown(false);
      return false;
    case 27:
      return false;
    default:
      break;
  }
  if (combo->AutoDropDown() && !combo->DroppedDown()) combo->SetDroppedDown(true);
  DWORD now = ComboTickCount();
  if (now - lastTime >= ComboTypeAheadTimeout) filter = S();
  lastTime = now;
  S search = filter + S(key);
  if (!ComboAutoCompleteItem(combo, ops, search, true, false)) return false;
  filter = search;
  return true;
}

// Completion of the edit styles for one typed character: true when the
// character completed an item (the caller swallows it). Only typing at the
// end of the text completes.
template <class S, class C>
bool ComboCompleteChar(TCustomComboBox* combo, const TComboAutoCompleteOps<S>& ops, C key, bool preserveCase,
                       bool uniqueOnly) {
  switch (key) {
    case 8:
    case 27:
      return false;
    case 9:
      if (combo->AutoDropDown() && combo->DroppedDown()) combo->SetDroppedDown(false);
      return false;
    default:
      break;
  }
  S text = ops.GetText();
  int selStart = combo->SelStart();
  int selLength = combo->SelLength();
  if (combo->AutoDropDown() && !combo->DroppedDown()) {
    // Opening the list selects the whole text: what the user had comes back.
    combo->SetDroppedDown(true);
    ops.SetText(text);
    combo->SetSelStart(selStart);
    combo->SetSelLength(selLength);
  }
  if (selStart + selLength < text.Length()) return false;
  return ComboAutoCompleteItem(combo, ops, text.SubString(1, selStart) + S(key), preserveCase, uniqueOnly);
}

// Put, Exchange and Move of a list box's item list, written once for the ANSI
// and the wide list: the item data travels with its string, the chosen item
// stays (Put) or follows the exchanged item (Exchange).
template <class L, class S> void ListBoxItemsPut(L* items, TCustomListBox* listBox, int index, const S& s) {
  int itemIndex = listBox->ItemIndex();
  TObject* data = items->GetObject(index);
  items->PutObject(index, nullptr);
  items->Delete(index);
  items->InsertObject(index, s, data);
  listBox->SetItemIndex(itemIndex);
}

template <class L> void ListBoxItemsExchange(L* items, TCustomListBox* listBox, int index1, int index2) {
  if (index1 == index2) return;
  StringsInUpdate(items, [&] {
    int itemIndex = listBox->ItemIndex();
    auto s1 = items->Get(index1);
    auto s2 = items->Get(index2);
    TObject* o1 = items->GetObject(index1);
    TObject* o2 = items->GetObject(index2);
    ListBoxItemsPut(items, listBox, index1, s2);
    items->PutObject(index1, o2);
    ListBoxItemsPut(items, listBox, index2, s1);
    items->PutObject(index2, o1);
    if (itemIndex == index1)
      listBox->SetItemIndex(index2);
    else if (itemIndex == index2)
      listBox->SetItemIndex(index1);
  });
}

template <class L> void ListBoxItemsMove(L* items, TCustomListBox* listBox, int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  StringsInUpdate(items, [&] {
    TScopedValue<bool> moving(listBox->FMoving, true);
    auto s = items->Get(curIndex);
    TObject* data = items->GetObject(curIndex);
    items->PutObject(curIndex, nullptr);
    items->Delete(curIndex);
    items->InsertObject(newIndex, s, data);
  });
}
