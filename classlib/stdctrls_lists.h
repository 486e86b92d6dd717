// The combo box and the list box (system COMBOBOX and LISTBOX windows): their
// item lists, which live in the window and are kept across its re-creation,
// owner drawing, the virtual list box whose texts come from an event, and
// the combo box's type-ahead and completion.
#pragma once

#include "stdctrls.h"

#include "sysutils.h"

#include <functional>
#include <type_traits>
#include <vector>

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

// ---------------------------------------------------------------------------
// The item lists of both families, written once: the combo box's and the list
// box's items over their window's messages (CB_ and LB_), with the items kept
// aside while the control cannot have a window. Calls is the family:
// - String, Strings: the string type and the list class the items derive from;
// - Pending(control): the list the items wait in while there is no window (null
//   once there can be one);
// - Native(control): whether the window takes this family's item messages;
//   where it does not, the class library's item list (Items) is asked, the
//   strings going through Narrow and Widen;
// - Send, Param: the A or W message call and a string as its parameter, and
//   Char, the window's character type for the text read back;
// - Text, SetText: the combo box's text of this family.

// The item messages of one kind of box.
struct TItemBoxMessages {
  UINT GetTextLen, GetText, AddString, InsertString, FindStringExact;
};
inline constexpr TItemBoxMessages ComboItemMessages{CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_ADDSTRING, CB_INSERTSTRING,
                                                    CB_FINDSTRINGEXACT};
inline constexpr TItemBoxMessages ListItemMessages{LB_GETTEXTLEN, LB_GETTEXT, LB_ADDSTRING, LB_INSERTSTRING,
                                                   LB_FINDSTRINGEXACT};

inline constexpr const char* SListIndexError = "List index out of bounds (%d)";

// An index the window gives for an added or inserted item; a refusal is
// EOutOfResources (SInsertLineError).
inline int CheckedItemIndex(LRESULT result) {
  if (result < 0) throw EOutOfResources(SInsertLineError);
  return static_cast<int>(result);
}

// The item lists of both boxes: the string traffic with the window. TBox is
// the control class, M its item messages.
template <class Calls, class TBox, const TItemBoxMessages& M>
class TBoxItemsCore : public Calls::Strings {
public:
  using S = typename Calls::String;
  explicit TBoxItemsCore(TBox* box) : FBox(box) {}

  int Add(const S& s) override {
    if (auto* pending = Calls::Pending(FBox)) return pending->Add(s);
    if (!Calls::Native(FBox)) return FBox->Items()->Add(Calls::Narrow(s));
    return CheckedItemIndex(Calls::Send(FBox->Handle(), M.AddString, 0, Calls::Param(s)));
  }
  void Insert(int index, const S& s) override {
    if (auto* pending = Calls::Pending(FBox))
      pending->Insert(index, s);
    else if (!Calls::Native(FBox))
      FBox->Items()->Insert(index, Calls::Narrow(s));
    else
      CheckedItemIndex(Calls::Send(FBox->Handle(), M.InsertString, index, Calls::Param(s)));
  }
  TObject* GetObject(int index) override {
    if (auto* pending = Calls::Pending(FBox)) return pending->GetObject(index);
    return WindowObject(index);
  }
  void PutObject(int index, TObject* obj) override {
    if (auto* pending = Calls::Pending(FBox))
      pending->PutObject(index, obj);
    else
      PutWindowObject(index, obj);
  }
  void SetUpdateState(bool updating) override {
    if (Calls::Pending(FBox)) return;
    SendMessageA(FBox->Handle(), WM_SETREDRAW, updating ? 0 : 1, 0);
    if (!updating) FBox->Refresh();
  }

protected:
  // The window's item text; error tells whether the length was refused.
  S ReadItemText(int index, bool* error = nullptr) {
    const HWND wnd = FBox->Handle();
    LRESULT len = Calls::Send(wnd, M.GetTextLen, index, 0);
    if (error) *error = len < 0;
    if (len < 0) return S();
    std::vector<typename Calls::Char> buffer(static_cast<size_t>(len) + 1, 0);
    if (Calls::Send(wnd, M.GetText, index, reinterpret_cast<LPARAM>(buffer.data())) < 0) return S();
    return S(buffer.data());
  }
  int FindExact(const S& s) {
    return static_cast<int>(Calls::Send(FBox->Handle(), M.FindStringExact, static_cast<WPARAM>(-1), Calls::Param(s)));
  }
  // The item data in the window (the same message of either family).
  virtual TObject* WindowObject(int index) = 0;
  virtual void PutWindowObject(int index, TObject* obj) = 0;
  TBox* FBox;
};

// The items of a combo box. An index outside the list gives an empty string;
// Clear keeps the combo box's text; IndexOf finds whole items, ignoring case.
template <class Calls>
class TComboItemsCore : public TBoxItemsCore<Calls, TCustomComboBox, ComboItemMessages> {
  using Core = TBoxItemsCore<Calls, TCustomComboBox, ComboItemMessages>;

public:
  using S = typename Core::S;
  using Core::Core;
  TCustomComboBox* ComboBox() const { return this->FBox; }

  S Get(int index) override {
    if (auto* pending = Calls::Pending(this->FBox))
      return index >= 0 && index < pending->Count() ? pending->Get(index) : S();
    if (!Calls::Native(this->FBox)) return Calls::Widen(this->FBox->Items()->Get(index));
    return this->ReadItemText(index);
  }
  int GetCount() override {
    if (auto* pending = Calls::Pending(this->FBox)) return pending->Count();
    return static_cast<int>(SendMessageA(this->FBox->Handle(), CB_GETCOUNT, 0, 0));
  }
  void Delete(int index) override {
    if (auto* pending = Calls::Pending(this->FBox))
      pending->Delete(index);
    else
      SendMessageA(this->FBox->Handle(), CB_DELETESTRING, index, 0);
  }
  void Clear() override {
    if (auto* pending = Calls::Pending(this->FBox)) {
      pending->Clear();
      return;
    }
    if (!Calls::Native(this->FBox)) {
      this->FBox->Items()->Clear();
      return;
    }
    const S text = Calls::Text(this->FBox);
    SendMessageA(this->FBox->Handle(), CB_RESETCONTENT, 0, 0);
    Calls::SetText(this->FBox, text);
    this->FBox->Update();
  }
  int IndexOf(const S& s) override {
    if (auto* pending = Calls::Pending(this->FBox)) return pending->IndexOf(s);
    if (!Calls::Native(this->FBox)) return this->FBox->Items()->IndexOf(Calls::Narrow(s));
    return this->FindExact(s);
  }

protected:
  TObject* WindowObject(int index) override {
    LRESULT data = SendMessageA(this->FBox->Handle(), CB_GETITEMDATA, index, 0);
    if (data == CB_ERR) this->Error(SListIndexError, index);
    return reinterpret_cast<TObject*>(data);
  }
  void PutWindowObject(int index, TObject* obj) override {
    SendMessageA(this->FBox->Handle(), CB_SETITEMDATA, index, reinterpret_cast<LPARAM>(obj));
  }
};

// The items of a list box. An index outside the list raises the list-index
// error; the virtual styles keep no strings nor data. Put, Exchange and Move
// keep the item data and the chosen item.
template <class Calls>
class TListItemsCore : public TBoxItemsCore<Calls, TCustomListBox, ListItemMessages> {
  using Core = TBoxItemsCore<Calls, TCustomListBox, ListItemMessages>;

public:
  using S = typename Core::S;
  using Core::Core;
  TCustomListBox* ListBox() const { return this->FBox; }
  void SetListBox(TCustomListBox* v) { this->FBox = v; }

  S Get(int index) override {
    if (auto* pending = Calls::Pending(this->FBox)) return pending->Get(index);
    if (!Calls::Native(this->FBox)) return Calls::Widen(this->FBox->Items()->Get(index));
    // The class library's own list asks OnData without the window's detour.
    if constexpr (std::is_same_v<S, AnsiString>)
      if (this->FBox->IsVirtual()) return this->FBox->DoGetData(index);
    bool error = false;
    S s = this->ReadItemText(index, &error);
    if (error) this->Error(SListIndexError, index);
    return s;
  }
  int GetCount() override {
    if (auto* pending = Calls::Pending(this->FBox)) return pending->Count();
    return this->FBox->Count();
  }
  void Delete(int index) override {
    if (auto* pending = Calls::Pending(this->FBox))
      pending->Delete(index);
    else
      this->FBox->DeleteString(index);
  }
  void Clear() override {
    if (auto* pending = Calls::Pending(this->FBox))
      pending->Clear();
    else
      this->FBox->ResetContent();
  }
  int IndexOf(const S& s) override {
    if (auto* pending = Calls::Pending(this->FBox)) return pending->IndexOf(s);
    if (!Calls::Native(this->FBox)) return this->FBox->Items()->IndexOf(Calls::Narrow(s));
    if (this->FBox->IsVirtual()) return Calls::Strings::IndexOf(s);
    return this->FindExact(s);
  }
  void Put(int index, const S& s) override { ListBoxItemsPut(this, this->FBox, index, s); }
  void Exchange(int index1, int index2) override { ListBoxItemsExchange(this, this->FBox, index1, index2); }
  void Move(int curIndex, int newIndex) override { ListBoxItemsMove(this, this->FBox, curIndex, newIndex); }

protected:
  TObject* WindowObject(int index) override {
    if (this->FBox->IsVirtual()) return nullptr;
    LRESULT data = SendMessageA(this->FBox->Handle(), LB_GETITEMDATA, index, 0);
    if (data == LB_ERR) this->Error(SListIndexError, index);
    return reinterpret_cast<TObject*>(data);
  }
  void PutWindowObject(int index, TObject* obj) override {
    if (index < 0 || this->FBox->IsVirtual()) return;
    SendMessageA(this->FBox->Handle(), LB_SETITEMDATA, index, reinterpret_cast<LPARAM>(obj));
  }
};

// The class library's family: ANSI messages to its own window.
struct TAnsiItemCalls {
  using String = AnsiString;
  using Strings = TStrings;
  using Char = char;
  static TStringList* Pending(TCustomComboBox* combo) { return combo->PendingItems(); }
  static TStringList* Pending(TCustomListBox* listBox) { return listBox->PendingItems(); }
  static bool Native(TWinControl*) { return true; }
  static const AnsiString& Narrow(const AnsiString& s) { return s; }
  static const AnsiString& Widen(const AnsiString& s) { return s; }
  static LRESULT Send(HWND wnd, UINT msg, WPARAM w, LPARAM l) { return SendMessageA(wnd, msg, w, l); }
  static LPARAM Param(const AnsiString& s) { return reinterpret_cast<LPARAM>(s.c_str()); }
  static AnsiString Text(TCustomComboBox* combo) { return combo->TControl::Text(); }
  static void SetText(TCustomComboBox* combo, const AnsiString& s) { combo->TControl::SetText(s); }
};

// The items of a combo box, read from and written to its window.
class TComboBoxStrings : public TComboItemsCore<TAnsiItemCalls> {
  CL_CLASS(TComboBoxStrings, TStrings)
public:
  using TComboItemsCore::TComboItemsCore;

protected:
  HWND Wnd() { return FBox->Handle(); }
};

class TListBoxStrings : public TListItemsCore<TAnsiItemCalls> {
  CL_CLASS(TListBoxStrings, TStrings)
public:
  using TListItemsCore::TListItemsCore;
};
