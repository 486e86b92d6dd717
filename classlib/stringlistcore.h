// The string lists' logic, written once over the string type: the ANSI lists
// (TStrings, TStringList) and the wide ones (TWideStrings, TUcStringList) are
// the same algorithms over AnsiString and WideString. What differs stays with
// each list: the comparison (ANSI compare or CompareStringW), file and stream
// formats, and the parsing of delimited text.
//
// Both templates take the final class (for the sort callbacks and for the
// same-type arguments of Equals and AddStrings) and the class to derive from,
// so that the class hierarchy and its metaclass records stay as they were.
#pragma once

#include "system.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

enum TDuplicates { dupIgnore, dupAccept, dupError };

// ---------------------------------------------------------------------------
// The search and the sort of the string lists (and of other sorted lists)
// over item indexes.

// Binary search of a sorted list of `count` items; compareAt(i) compares item i
// with the key. On a match the search stops unless duplicates are accepted,
// in which case it goes on to the first of the equal items. `index` is the
// match or the place where the key would be inserted.
template <class CompareAt>
bool FindSortedIndex(int count, bool duplicatesAccepted, CompareAt compareAt, int& index) {
  bool result = false;
  int l = 0, h = count - 1;
  while (l <= h) {
    const int i = (l + h) >> 1;
    const int c = compareAt(i);
    if (c < 0) {
      l = i + 1;
    } else {
      h = i - 1;
      if (c == 0) {
        result = true;
        if (!duplicatesAccepted) l = i;
      }
    }
  }
  index = l;
  return result;
}

// Quicksort of the items l..r: compare(i, j) compares two items by index,
// exchange(i, j) swaps them. The pivot is followed by its index as items move.
template <class Compare, class Exchange>
void QuickSortIndexes(int l, int r, Compare compare, Exchange exchange) {
  int i;
  do {
    i = l;
    int j = r;
    int p = (l + r) >> 1;
    do {
      while (compare(i, p) < 0) ++i;
      while (compare(j, p) > 0) --j;
      if (i <= j) {
        exchange(i, j);
        if (p == i)
          p = j;
        else if (p == j)
          p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) QuickSortIndexes(l, j, compare, exchange);
    l = i;
  } while (i < r);
}

// Runs change between list->BeginUpdate() and EndUpdate(); EndUpdate also runs
// when change throws.
template <class L, class F> void StringsInUpdate(L* list, F&& change) {
  list->BeginUpdate();
  try {
    change();
  } catch (...) {
    list->EndUpdate();
    throw;
  }
  list->EndUpdate();
}

// The character type of AnsiString (char) or WideString (wchar_t).
template <class S>
using TStringChar = typename std::remove_cvref_t<decltype(std::declval<const S&>().str())>::value_type;

// ---------------------------------------------------------------------------
// The abstract list: the operations every concrete list supplies, and the
// defaults written on them.

template <class TSelf, class TBase, class S> class TStringsCore : public TBase {
public:
  using Char = TStringChar<S>;

  TStringsCore() = default;
  TStringsCore(const TStringsCore&) = delete;
  TStringsCore& operator=(const TStringsCore&) = delete;

  // --- what every concrete list supplies
  virtual S Get(int index) = 0;
  virtual int GetCount() = 0;
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual void Insert(int index, const S& s) = 0;
  // -1, 0 or 1.
  virtual int CompareStrings(const S& s1, const S& s2) = 0;

  // --- overridable, with defaults written on the abstract operations
  virtual void Put(int index, const S& s) {  // GetObject, Delete, InsertObject
    TObject* obj = GetObject(index);
    Delete(index);
    InsertObject(index, s, obj);
  }
  virtual TObject* GetObject(int index) {  // null
    (void)index;
    return nullptr;
  }
  virtual void PutObject(int index, TObject* obj) {  // nothing
    (void)index;
    (void)obj;
  }
  virtual int GetCapacity() { return GetCount(); }
  virtual void SetCapacity(int newCapacity) { (void)newCapacity; }
  // Every string followed by CR LF, the last one too.
  virtual S GetTextStr();
  // Clears, then one line per CR LF, CR or LF (wide text: also U+2028, which
  // ends a line by itself or after CR LF); a final break adds no empty line.
  virtual void SetTextStr(const S& text);
  virtual void SetUpdateState(bool updating) { (void)updating; }
  virtual int Add(const S& s) {
    const int index = GetCount();
    Insert(index, s);
    return index;
  }
  virtual int AddObject(const S& s, TObject* obj) {
    const int index = Add(s);
    PutObject(index, obj);
    return index;
  }
  virtual void AddStrings(TSelf* strings) {
    StringsInUpdate(this, [&] {
      const int count = strings->GetCount();
      for (int i = 0; i < count; ++i) AddObject(strings->Get(i), strings->GetObject(i));
    });
  }
  virtual void Exchange(int index1, int index2);
  virtual int IndexOf(const S& s) {
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
      if (CompareStrings(Get(i), s) == 0) return i;
    return -1;
  }
  virtual int IndexOfName(const S& name);
  virtual int IndexOfObject(TObject* obj) {
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
      if (GetObject(i) == obj) return i;
    return -1;
  }
  virtual void InsertObject(int index, const S& s, TObject* obj) {
    Insert(index, s);
    PutObject(index, obj);
  }
  virtual void Move(int curIndex, int newIndex);

  // --- updates: SetUpdateState(true) at the first BeginUpdate, (false) at the
  // matching EndUpdate; an EndUpdate without a BeginUpdate is ignored.
  void BeginUpdate() {
    if (FUpdateCount == 0) SetUpdateState(true);
    ++FUpdateCount;
  }
  void EndUpdate() {
    if (FUpdateCount <= 0) return;
    --FUpdateCount;
    if (FUpdateCount == 0) SetUpdateState(false);
  }
  int UpdateCount() const { return FUpdateCount; }

  void Append(const S& s) { Add(s); }
  // Same count and the same text at every index; objects are not compared.
  bool Equals(TSelf* strings) {
    const int count = GetCount();
    if (count != strings->GetCount()) return false;
    for (int i = 0; i < count; ++i)
      if (Get(i) != strings->Get(i)) return false;
    return true;
  }

  // --- name=value pairs; the separator is always '='.
  static S ExtractName(const S& s) {
    const int p = s.Pos(S(Char('=')));
    return p ? s.SubString(1, p - 1) : S();
  }
  S Names(int index) { return ExtractName(Get(index)); }
  S Values(const S& name) {
    const int i = IndexOfName(name);
    return i >= 0 ? Get(i).SubString(name.Length() + 2, INT_MAX) : S();
  }
  void SetValue(const S& name, const S& value) {
    int i = IndexOfName(name);
    if (!value.IsEmpty()) {
      if (i < 0) i = Add(S());
      Put(i, name + Char('=') + value);
    } else if (i >= 0) {
      Delete(i);
    }
  }
  // A line without '=' has no value (rather than losing its first character).
  S ValueFromIndex(int index) {
    if (index < 0) return S();
    const S s = Get(index);
    const int p = s.Pos(S(Char('=')));
    return p ? s.SubString(p + 1, INT_MAX) : S();
  }
  void SetValueFromIndex(int index, const S& value) {
    if (!value.IsEmpty()) {
      if (index < 0) index = Add(S());
      Put(index, Names(index) + Char('=') + value);
    } else if (index >= 0) {
      Delete(index);
    }
  }

  // --- delimited text
  void SetDelimiter(Char c) {
    FDelimiter = c;
    FDefined |= sdDelimiter;
  }
  void SetQuoteChar(Char c) {
    FQuoteChar = c;
    FDefined |= sdQuoteChar;
  }
  // Comma and double quote from now on, then the list's own parsing.
  void SetCommaText(const S& text) {
    SetDelimiter(Char(','));
    SetQuoteChar(Char('"'));
    static_cast<TSelf*>(this)->SetDelimitedText(text);
  }

  // --- the properties
  int Count() { return GetCount(); }
  S Strings(int index) { return Get(index); }
  S operator[](int index) { return Get(index); }
  TObject* Objects(int index) { return GetObject(index); }
  int Capacity() { return GetCapacity(); }
  S Text() { return GetTextStr(); }
  void SetText(const S& text) { SetTextStr(text); }

protected:
  enum : uint8_t { sdDelimiter = 1, sdQuoteChar = 2 };

  // The delimiter and the quote character: ',' and '"' until set.
  Char CurrentDelimiter() {
    if (!(FDefined & sdDelimiter)) SetDelimiter(Char(','));
    return FDelimiter;
  }
  Char CurrentQuoteChar() {
    if (!(FDefined & sdQuoteChar)) SetQuoteChar(Char('"'));
    return FQuoteChar;
  }
  // The strings joined by the delimiter; a string holding a blank, a control
  // character, the quote or the delimiter is quoted with its quotes doubled.
  // A list of one empty string is two quotes.
  S JoinDelimited();
  // JoinDelimited with comma and double quote; the delimiter and quote
  // character, and whether they were set, are as before afterwards.
  S JoinCommaText();

  uint8_t FDefined = 0;
  Char FDelimiter = Char(',');
  Char FQuoteChar = Char('"');
  int FUpdateCount = 0;
};

template <class TSelf, class TBase, class S> S TStringsCore<TSelf, TBase, S>::GetTextStr() {
  const int count = GetCount();
  std::vector<S> lines;
  lines.reserve(static_cast<size_t>(count));
  size_t size = 0;
  for (int i = 0; i < count; ++i) {
    lines.push_back(Get(i));
    size += static_cast<size_t>(lines.back().Length()) + 2;
  }
  std::basic_string<Char> text;
  text.reserve(size);
  for (const S& s : lines) {
    text += s.str();
    text += Char('\r');
    text += Char('\n');
  }
  return S(std::move(text));
}

template <class TSelf, class TBase, class S> void TStringsCore<TSelf, TBase, S>::SetTextStr(const S& text) {
  // U+2028 (line separator) exists only in wide text.
  auto isLineSeparator = [](Char c) {
    if constexpr (sizeof(Char) > 1)
      return c == Char(0x2028);
    else
      return false;
  };
  StringsInUpdate(this, [&] {
    Clear();
    const std::basic_string<Char>& t = text.str();
    const size_t n = t.size();
    size_t i = 0;
    while (i < n) {
      const size_t start = i;
      while (i < n && t[i] != Char('\r') && t[i] != Char('\n') && !isLineSeparator(t[i])) ++i;
      Add(S(t.substr(start, i - start)));
      if (i < n && t[i] == Char('\r')) ++i;
      if (i < n && t[i] == Char('\n')) ++i;
      if (i < n && isLineSeparator(t[i])) ++i;
    }
  });
}

template <class TSelf, class TBase, class S>
void TStringsCore<TSelf, TBase, S>::Exchange(int index1, int index2) {
  StringsInUpdate(this, [&] {
    TObject* tempObject = GetObject(index1);
    S tempString = Get(index1);
    Put(index1, Get(index2));
    PutObject(index1, GetObject(index2));
    Put(index2, tempString);
    PutObject(index2, tempObject);
  });
}

template <class TSelf, class TBase, class S> int TStringsCore<TSelf, TBase, S>::IndexOfName(const S& name) {
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    const S s = Get(i);
    const int p = s.Pos(S(Char('=')));
    if (p != 0 && CompareStrings(s.SubString(1, p - 1), name) == 0) return i;
  }
  return -1;
}

template <class TSelf, class TBase, class S> void TStringsCore<TSelf, TBase, S>::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  StringsInUpdate(this, [&] {
    S s = Get(curIndex);
    TObject* obj = GetObject(curIndex);
    Delete(curIndex);
    InsertObject(newIndex, s, obj);
  });
}

template <class TSelf, class TBase, class S> S TStringsCore<TSelf, TBase, S>::JoinDelimited() {
  const int count = GetCount();
  const Char quote = CurrentQuoteChar();
  const Char delimiter = CurrentDelimiter();
  if (count == 1 && Get(0).IsEmpty()) return S(std::basic_string<Char>(2, quote));
  std::basic_string<Char> result;
  for (int i = 0; i < count; ++i) {
    const S s = Get(i);
    bool plain = true;
    for (Char c : s.str()) {
      if (static_cast<std::make_unsigned_t<Char>>(c) <= ' ' || c == quote || c == delimiter) {
        plain = false;
        break;
      }
    }
    if (plain) {
      result += s.str();
    } else {
      result += quote;
      for (Char c : s.str()) {
        result += c;
        if (c == quote) result += quote;
      }
      result += quote;
    }
    result += delimiter;
  }
  if (!result.empty()) result.pop_back();
  return S(std::move(result));
}

template <class TSelf, class TBase, class S> S TStringsCore<TSelf, TBase, S>::JoinCommaText() {
  const uint8_t defined = FDefined;
  const Char delimiter = FDelimiter, quote = FQuoteChar;
  SetDelimiter(Char(','));
  SetQuoteChar(Char('"'));
  S result;
  try {
    result = JoinDelimited();
  } catch (...) {
    FDefined = defined;
    FDelimiter = delimiter;
    FQuoteChar = quote;
    throw;
  }
  FDefined = defined;
  FDelimiter = delimiter;
  FQuoteChar = quote;
  return result;
}

// ---------------------------------------------------------------------------
// The array-backed list with sorting, the duplicates rule and change events.
// The comparison is the final class's CompareStrings.

template <class S> struct TStringListItem {
  S FString;
  TObject* FObject = nullptr;  // not owned
};

template <class TSelf, class TBase, class S> class TStringListCore : public TBase {
public:
  using TSortCompare = int (*)(TSelf* list, int index1, int index2);

  TStringListCore() = default;
  ~TStringListCore() override {
    // No events while the list goes away.
    OnChange.Clear();
    OnChanging.Clear();
  }

  S Get(int index) override {
    CheckIndex(index, FCount);
    return FList[static_cast<size_t>(index)].FString;
  }
  int GetCount() override { return FCount; }
  void Clear() override;
  void Delete(int index) override;
  void Insert(int index, const S& s) override { InsertObject(index, s, nullptr); }
  void Put(int index, const S& s) override;
  TObject* GetObject(int index) override {
    CheckIndex(index, FCount);
    return FList[static_cast<size_t>(index)].FObject;
  }
  void PutObject(int index, TObject* obj) override;
  int GetCapacity() override { return FCapacity; }
  // Never below Count: a smaller request keeps every item.
  void SetCapacity(int newCapacity) override {
    FCapacity = std::max(newCapacity, FCount);
    FList.resize(static_cast<size_t>(FCapacity));
  }
  void SetUpdateState(bool updating) override {
    // Stored first, so the start of an update raises no OnChanging.
    FUpdating = updating;
    if (updating)
      Changing();
    else
      Changed();
  }
  int Add(const S& s) override { return AddObject(s, nullptr); }
  int AddObject(const S& s, TObject* obj) override;
  void Exchange(int index1, int index2) override;
  int IndexOf(const S& s) override {
    if (!FSorted) return TBase::IndexOf(s);
    int index;
    return Find(s, index) ? index : -1;
  }
  int IndexOfName(const S& name) override;
  void InsertObject(int index, const S& s, TObject* obj) override {
    if (FSorted) TBase::Error(SSortedListError, 0);
    CheckIndex(index, FCount + 1);
    InsertItem(index, s, obj);
  }
  // Refused on a sorted list before anything is deleted: the inherited Move
  // deletes first, and its insert would then fail and lose the entry.
  void Move(int curIndex, int newIndex) override {
    if (curIndex != newIndex && FSorted) TBase::Error(SSortedListError, 0);
    TBase::Move(curIndex, newIndex);
  }

  // Binary search (the list must be sorted). With dupAccept the index is the
  // first of a run of equal strings; when absent, where s belongs.
  virtual bool Find(const S& s, int& index) {
    return FindSortedIndex(
        FCount, FDuplicates == dupAccept,
        [&](int i) { return this->CompareStrings(FList[static_cast<size_t>(i)].FString, s); }, index);
  }
  virtual void Sort() { CustomSort(&CompareByStrings); }
  // Only on an unsorted list of two or more items.
  virtual void CustomSort(TSortCompare compare) {
    if (FSorted || FCount < 2) return;
    Changing();
    QuickSort(0, FCount - 1, compare);
    Changed();
  }

  bool Sorted() const { return FSorted; }
  void SetSorted(bool value) {
    if (FSorted == value) return;
    if (value) Sort();
    FSorted = value;
  }
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates value) { FDuplicates = value; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool value);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

protected:
  // OnChanging / OnChange unless an update is running.
  virtual void Changed() {
    if (!FUpdating && OnChange) OnChange(this);
  }
  virtual void Changing() {
    if (!FUpdating && OnChanging) OnChanging(this);
  }
  virtual void InsertItem(int index, const S& s, TObject* obj);
  void Grow() {
    const int delta = FCapacity > 64 ? FCapacity / 4 : (FCapacity > 8 ? 16 : 4);
    SetCapacity(FCapacity + delta);
  }
  void ExchangeItems(int index1, int index2) {
    std::swap(FList[static_cast<size_t>(index1)], FList[static_cast<size_t>(index2)]);
  }
  void QuickSort(int l, int r, TSortCompare compare) {
    QuickSortIndexes(
        l, r, [&](int a, int b) { return compare(static_cast<TSelf*>(this), a, b); },
        [&](int a, int b) { ExchangeItems(a, b); });
  }

  int FCount = 0;
  bool FUpdating = false;
  bool FCaseSensitive = false;

private:
  static constexpr const char* SListIndexError = "List index out of bounds (%d)";
  static constexpr const char* SSortedListError = "Operation not allowed on sorted list";
  static constexpr const char* SDuplicateString = "String list does not allow duplicates";

  static int CompareByStrings(TSelf* list, int index1, int index2) {
    return list->CompareStrings(list->Get(index1), list->Get(index2));
  }
  // index must lie in 0..count-1.
  void CheckIndex(int index, int count) const {
    if (index < 0 || index >= count) TBase::Error(SListIndexError, index);
  }

  std::vector<TStringListItem<S>> FList;  // FList.size() is the capacity
  int FCapacity = 0;
  bool FSorted = false;
  TDuplicates FDuplicates = dupIgnore;
};

template <class TSelf, class TBase, class S> void TStringListCore<TSelf, TBase, S>::Clear() {
  if (FCount == 0) return;
  Changing();
  FCount = 0;
  FList.clear();
  FList.shrink_to_fit();
  FCapacity = 0;
  Changed();
}

template <class TSelf, class TBase, class S> void TStringListCore<TSelf, TBase, S>::Delete(int index) {
  CheckIndex(index, FCount);
  Changing();
  std::move(FList.begin() + index + 1, FList.begin() + FCount, FList.begin() + index);
  --FCount;
  FList[static_cast<size_t>(FCount)] = TStringListItem<S>();
  Changed();
}

template <class TSelf, class TBase, class S> void TStringListCore<TSelf, TBase, S>::Put(int index, const S& s) {
  if (FSorted) TBase::Error(SSortedListError, 0);
  CheckIndex(index, FCount);
  Changing();
  FList[static_cast<size_t>(index)].FString = s;
  Changed();
}

template <class TSelf, class TBase, class S>
void TStringListCore<TSelf, TBase, S>::PutObject(int index, TObject* obj) {
  CheckIndex(index, FCount);
  Changing();
  FList[static_cast<size_t>(index)].FObject = obj;
  Changed();
}

template <class TSelf, class TBase, class S>
int TStringListCore<TSelf, TBase, S>::AddObject(const S& s, TObject* obj) {
  int index;
  if (!FSorted) {
    index = FCount;
  } else if (Find(s, index)) {
    if (FDuplicates == dupIgnore) return index;
    if (FDuplicates == dupError) TBase::Error(SDuplicateString, 0);
  }
  InsertItem(index, s, obj);
  return index;
}

template <class TSelf, class TBase, class S>
void TStringListCore<TSelf, TBase, S>::Exchange(int index1, int index2) {
  CheckIndex(index1, FCount);
  CheckIndex(index2, FCount);
  Changing();
  ExchangeItems(index1, index2);
  Changed();
}

template <class TSelf, class TBase, class S>
int TStringListCore<TSelf, TBase, S>::IndexOfName(const S& name) {
  if (!FSorted) return TBase::IndexOfName(name);
  const S key = name + TStringChar<S>('=');
  int index;
  Find(key, index);
  if (index < FCount &&
      this->CompareStrings(FList[static_cast<size_t>(index)].FString.SubString(1, key.Length()), key) == 0)
    return index;
  return -1;
}

template <class TSelf, class TBase, class S>
void TStringListCore<TSelf, TBase, S>::InsertItem(int index, const S& s, TObject* obj) {
  Changing();
  if (FCount == FCapacity) Grow();
  std::move_backward(FList.begin() + index, FList.begin() + FCount, FList.begin() + FCount + 1);
  FList[static_cast<size_t>(index)].FString = s;
  FList[static_cast<size_t>(index)].FObject = obj;
  ++FCount;
  Changed();
}

template <class TSelf, class TBase, class S>
void TStringListCore<TSelf, TBase, S>::SetCaseSensitive(bool value) {
  if (FCaseSensitive == value) return;
  FCaseSensitive = value;
  if (FSorted && FCount > 1) {
    Changing();
    QuickSort(0, FCount - 1, &CompareByStrings);
    Changed();
  }
}
