#include "UcClasses.h"

#include "UcCodePages.h"
#include "UcWideStrUtils.h"

#include <algorithm>
#include <cstring>
#include <string>

CL_DEFINE_CLASS(TWideStrings, TPersistent)
CL_DEFINE_CLASS(TAnsiStrings, TStrings)
CL_DEFINE_CLASS(TAnsiStringsForWideStringsAdapter, TAnsiStrings)
CL_DEFINE_CLASS(TUcStrings, TWideStrings)
CL_DEFINE_CLASS(TUcStringList, TUcStrings)

TCompareStringWProc UcListCompareStringW = nullptr;

namespace {

const char* const SListIndexError = "List index out of bounds (%d)";
const char* const SSortedListError = "Operation not allowed on sorted list";
const char* const SDuplicateString = "String list does not allow duplicates";

WideString Widen(const AnsiString& s) { return StringToWideStringEx(s, DefaultSystemCodePage()); }
AnsiString Narrow(const WideString& s) { return WideStringToStringEx(s, DefaultSystemCodePage()); }

// BeginUpdate/EndUpdate around a change, also when it throws.
template <class L, class F> void InUpdate(L* list, F&& change) {
  list->BeginUpdate();
  try {
    change();
  } catch (...) {
    list->EndUpdate();
    throw;
  }
  list->EndUpdate();
}

// CompareStringW in the user's locale, minus 2. Where the system has no wide
// call (error 120) the ANSI forms are compared instead.
int CompareWide(const WideString& s1, const WideString& s2, DWORD flags) {
  TCompareStringWProc compare = UcListCompareStringW ? UcListCompareStringW : &CompareStringW;
  int r = compare(LOCALE_USER_DEFAULT, flags, s1.c_bstr(), s1.Length(), s2.c_bstr(), s2.Length());
  if (r == 0) {
    DWORD error = GetLastError();
    if (error != ERROR_CALL_NOT_IMPLEMENTED) RaiseLastOSError(error);
    AnsiString a1 = Narrow(s1), a2 = Narrow(s2);
    r = CompareStringA(LOCALE_USER_DEFAULT, flags, a1.c_str(), a1.Length(), a2.c_str(), a2.Length());
    if (r == 0) RaiseLastOSError();
  }
  return r - 2;
}

}  // namespace

// ===========================================================================
// TWideStringsEnumerator

bool TWideStringsEnumerator::MoveNext() {
  if (FIndex >= FStrings->GetCount() - 1) return false;
  ++FIndex;
  return true;
}

WideString TWideStringsEnumerator::GetCurrent() { return FStrings->Get(FIndex); }

// ===========================================================================
// TWideStrings

TWideStrings::~TWideStrings() {
  try {
    SetStringsAdapter(nullptr);
  } catch (...) {
  }
}

void TWideStrings::Error(const AnsiString& msg, int data) { throw EStringListError(Format(msg, {data})); }

void TWideStrings::Error(const TResStringRec* msg, int data) { Error(LoadResString(msg), data); }

void TWideStrings::AssignTo(TPersistent* dest) {
  if (auto* wide = dynamic_cast<TWideStrings*>(dest)) {
    wide->Assign(this);
    return;
  }
  if (auto* narrow = dynamic_cast<TStrings*>(dest)) {
    InUpdate(narrow, [&] {
      narrow->Clear();
      narrow->SetQuoteChar(static_cast<char>(GetQuoteChar()));
      narrow->SetDelimiter(static_cast<char>(GetDelimiter()));
      for (int i = 0; i < GetCount(); ++i) narrow->AddObject(Narrow(Get(i)), GetObject(i));
    });
    return;
  }
  TPersistent::AssignTo(dest);
}

void TWideStrings::Assign(TPersistent* source) {
  if (auto* wide = dynamic_cast<TWideStrings*>(source)) {
    InUpdate(this, [&] {
      Clear();
      FDefined = wide->FDefined;
      FQuoteChar = wide->FQuoteChar;
      FDelimiter = wide->FDelimiter;
      AddStrings(wide);
    });
    return;
  }
  if (auto* narrow = dynamic_cast<TStrings*>(source)) {
    InUpdate(this, [&] {
      Clear();
      // The 8-bit characters widened by value, not through the code page.
      SetQuoteChar(static_cast<wchar_t>(static_cast<unsigned char>(narrow->QuoteChar())));
      SetDelimiter(static_cast<wchar_t>(static_cast<unsigned char>(narrow->Delimiter())));
      AddStrings(narrow);
    });
    return;
  }
  TPersistent::Assign(source);
}

int TWideStrings::GetCapacity() { return GetCount(); }

TObject* TWideStrings::GetObject(int index) {
  (void)index;
  return nullptr;
}

WideString TWideStrings::GetTextStr() {
  const int count = GetCount();
  size_t size = 0;
  for (int i = 0; i < count; ++i) size += static_cast<size_t>(Get(i).Length()) + 2;
  std::wstring text;
  text.reserve(size);
  for (int i = 0; i < count; ++i) {
    text += Get(i).str();
    text += L"\r\n";
  }
  return WideString(std::move(text));
}

void TWideStrings::Put(int index, const WideString& s) {
  TObject* obj = GetObject(index);
  Delete(index);
  InsertObject(index, s, obj);
}

void TWideStrings::PutObject(int index, TObject* obj) {
  (void)index;
  (void)obj;
}

void TWideStrings::SetCapacity(int newCapacity) { (void)newCapacity; }

void TWideStrings::SetTextStr(const WideString& text) {
  InUpdate(this, [&] {
    Clear();
    const std::wstring& t = text.str();
    const size_t n = t.size();
    size_t i = 0;
    while (i < n) {
      size_t start = i;
      while (i < n && t[i] != L'\r' && t[i] != L'\n' && t[i] != 0x2028) ++i;
      Add(WideString(t.substr(start, i - start)));
      if (i < n && t[i] == L'\r') ++i;
      if (i < n && t[i] == L'\n') ++i;
      if (i < n && t[i] == 0x2028) ++i;
    }
  });
}

void TWideStrings::SetUpdateState(bool updating) { (void)updating; }

int TWideStrings::CompareStrings(const WideString& s1, const WideString& s2) {
  return CompareWide(s1, s2, NORM_IGNORECASE);
}

int TWideStrings::Add(const WideString& s) {
  int index = GetCount();
  Insert(index, s);
  return index;
}

int TWideStrings::AddObject(const WideString& s, TObject* obj) {
  int index = Add(s);
  PutObject(index, obj);
  return index;
}

void TWideStrings::AddStrings(TStrings* strings) {
  InUpdate(this, [&] {
    for (int i = 0; i < strings->GetCount(); ++i) AddObject(Widen(strings->Get(i)), strings->GetObject(i));
  });
}

void TWideStrings::AddStrings(TWideStrings* strings) {
  InUpdate(this, [&] {
    for (int i = 0; i < strings->GetCount(); ++i) AddObject(strings->Get(i), strings->GetObject(i));
  });
}

void TWideStrings::Exchange(int index1, int index2) {
  InUpdate(this, [&] {
    WideString s = Get(index1);
    TObject* obj = GetObject(index1);
    Put(index1, Get(index2));
    PutObject(index1, GetObject(index2));
    Put(index2, s);
    PutObject(index2, obj);
  });
}

wchar_t* TWideStrings::GetTextW() { return WStrNew(GetTextStr().c_bstr()); }

int TWideStrings::IndexOf(const WideString& s) {
  for (int i = 0; i < GetCount(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int TWideStrings::IndexOfName(const WideString& name) {
  for (int i = 0; i < GetCount(); ++i) {
    WideString s = Get(i);
    int p = s.Pos(L"=");
    if (p != 0 && CompareStrings(s.SubString(1, p - 1), name) == 0) return i;
  }
  return -1;
}

int TWideStrings::IndexOfObject(TObject* obj) {
  for (int i = 0; i < GetCount(); ++i)
    if (GetObject(i) == obj) return i;
  return -1;
}

void TWideStrings::InsertObject(int index, const WideString& s, TObject* obj) {
  Insert(index, s);
  PutObject(index, obj);
}

void TWideStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  InUpdate(this, [&] {
    WideString s = Get(curIndex);
    TObject* obj = GetObject(curIndex);
    Delete(curIndex);
    InsertObject(newIndex, s, obj);
  });
}

void TWideStrings::SetTextW(const wchar_t* text) { SetTextStr(WideString(text)); }

void TWideStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TWideStrings::EndUpdate() {
  --FUpdateCount;
  if (FUpdateCount == 0) SetUpdateState(false);
}

bool TWideStrings::Equals(TWideStrings* strings) {
  const int count = GetCount();
  if (count != strings->GetCount()) return false;
  for (int i = 0; i < count; ++i)
    if (Get(i) != strings->Get(i)) return false;
  return true;
}

WideString TWideStrings::ExtractName(const WideString& s) {
  int p = s.Pos(L"=");
  return p == 0 ? WideString() : s.SubString(1, p - 1);
}

WideString TWideStrings::GetName(int index) { return ExtractName(Get(index)); }

WideString TWideStrings::GetValue(const WideString& name) {
  int i = IndexOfName(name);
  if (i < 0) return WideString();
  WideString s = Get(i);
  return s.SubString(name.Length() + 2, s.Length());
}

void TWideStrings::SetValue(const WideString& name, const WideString& value) {
  int i = IndexOfName(name);
  if (!value.IsEmpty()) {
    if (i < 0) i = Add(WideString());
    Put(i, name + L"=" + value);
  } else if (i >= 0) {
    Delete(i);
  }
}

WideString TWideStrings::GetValueFromIndex(int index) {
  if (index < 0) return WideString();
  WideString s = Get(index);
  return s.SubString(GetName(index).Length() + 2, s.Length());
}

void TWideStrings::SetValueFromIndex(int index, const WideString& value) {
  if (!value.IsEmpty()) {
    if (index < 0) index = Add(WideString());
    Put(index, GetName(index) + L"=" + value);
  } else if (index >= 0) {
    Delete(index);
  }
}

WideString TWideStrings::GetCommaText() {
  const uint8_t defined = FDefined;
  const wchar_t delimiter = FDelimiter, quote = FQuoteChar;
  FDelimiter = L',';
  FQuoteChar = L'"';
  FDefined |= sdDelimiter | sdQuoteChar;
  WideString result;
  try {
    result = GetDelimitedText();
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

void TWideStrings::SetCommaText(const WideString& value) {
  SetDelimiter(L',');
  SetQuoteChar(L'"');
  SetDelimitedText(value);
}

WideString TWideStrings::GetDelimitedText() {
  const int count = GetCount();
  const wchar_t quote = GetQuoteChar(), delimiter = GetDelimiter();
  if (count == 1 && Get(0).IsEmpty()) return WideString(std::wstring(2, quote));
  std::wstring result;
  for (int i = 0; i < count; ++i) {
    WideString s = Get(i);
    bool plain = true;
    for (wchar_t c : s.str()) {
      if (c <= L' ' || c == quote || c == delimiter) {
        plain = false;
        break;
      }
    }
    result += plain ? s.str() : WideQuotedStr(s, quote).str();
    result += delimiter;
  }
  if (!result.empty()) result.pop_back();
  return WideString(std::move(result));
}

void TWideStrings::SetDelimitedText(const WideString& value) {
  const wchar_t quote = GetQuoteChar(), delimiter = GetDelimiter();
  InUpdate(this, [&] {
    Clear();
    const wchar_t* p = value.c_bstr();
    auto isBlank = [](wchar_t c) { return c >= 1 && c <= L' '; };
    while (isBlank(*p)) ++p;
    while (*p) {
      WideString item;
      if (*p == quote) {
        item = WideExtractQuotedStr(p, quote);
      } else {
        const wchar_t* start = p;
        while (*p > L' ' && *p != delimiter) ++p;
        item = WideString(start, static_cast<int>(p - start));
      }
      Add(item);
      while (isBlank(*p)) ++p;
      if (*p == delimiter && *p) {
        // A delimiter at the very end stands for one more, empty item.
        if (p[1] == L'\0') Add(WideString());
        do
          ++p;
        while (isBlank(*p));
      }
    }
  });
}

wchar_t TWideStrings::GetDelimiter() {
  if (!(FDefined & sdDelimiter)) {
    FDelimiter = L',';
    FDefined |= sdDelimiter;
  }
  return FDelimiter;
}

void TWideStrings::SetDelimiter(wchar_t value) {
  if (FDelimiter == value && (FDefined & sdDelimiter)) return;
  FDelimiter = value;
  FDefined |= sdDelimiter;
}

wchar_t TWideStrings::GetQuoteChar() {
  if (!(FDefined & sdQuoteChar)) {
    FQuoteChar = L'"';
    FDefined |= sdQuoteChar;
  }
  return FQuoteChar;
}

void TWideStrings::SetQuoteChar(wchar_t value) {
  if (FQuoteChar == value && (FDefined & sdQuoteChar)) return;
  FQuoteChar = value;
  FDefined |= sdQuoteChar;
}

void TWideStrings::SetStringsAdapter(IWideStringsAdapter* value) {
  if (FAdapter) FAdapter->ReleaseStrings();
  FAdapter = value;
  if (FAdapter) FAdapter->ReferenceStrings(this);
}

// ===========================================================================
// TAnsiStrings and the narrow view of a wide list

void TAnsiStrings::LoadFromFile(const AnsiString& fileName) { LoadFromFile(WideString(fileName)); }
void TAnsiStrings::SaveToFile(const AnsiString& fileName) { SaveToFile(WideString(fileName)); }

void TAnsiStrings::LoadFromFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TAnsiStrings::SaveToFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

void TAnsiStrings::LoadFromFileEx(const WideString& fileName, UINT codePage) {
  TUcFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStreamEx(&stream, codePage);
}

void TAnsiStrings::SaveToFileEx(const WideString& fileName, UINT codePage) {
  TUcFileStream stream(fileName, fmCreate);
  if (codePage == CP_UTF8_NUMBER) stream.WriteBuffer("\xEF\xBB\xBF", 3);
  SaveToStreamEx(&stream, codePage);
}

TAnsiStringsForWideStringsAdapter::TAnsiStringsForWideStringsAdapter(TWideStrings* wideStrings,
                                                                     UINT adapterCodePage)
    : FWideStrings(wideStrings), FAdapterCodePage(adapterCodePage) {}

UINT TAnsiStringsForWideStringsAdapter::AdapterCodePage() {
  return FAdapterCodePage == 0 ? DefaultSystemCodePage() : FAdapterCodePage;
}

AnsiString TAnsiStringsForWideStringsAdapter::Get(int index) {
  return WideStringToStringEx(FWideStrings->Get(index), AdapterCodePage());
}

int TAnsiStringsForWideStringsAdapter::GetCount() { return FWideStrings->GetCount(); }
void TAnsiStringsForWideStringsAdapter::Clear() { FWideStrings->Clear(); }
void TAnsiStringsForWideStringsAdapter::Delete(int index) { FWideStrings->Delete(index); }

void TAnsiStringsForWideStringsAdapter::Insert(int index, const AnsiString& s) {
  FWideStrings->Insert(index, StringToWideStringEx(s, AdapterCodePage()));
}

void TAnsiStringsForWideStringsAdapter::Put(int index, const AnsiString& s) {
  FWideStrings->Put(index, StringToWideStringEx(s, AdapterCodePage()));
}

TObject* TAnsiStringsForWideStringsAdapter::GetObject(int index) { return FWideStrings->GetObject(index); }

void TAnsiStringsForWideStringsAdapter::PutObject(int index, TObject* obj) {
  FWideStrings->PutObject(index, obj);
}

void TAnsiStringsForWideStringsAdapter::SetUpdateState(bool updating) { FWideStrings->SetUpdateState(updating); }

void TAnsiStringsForWideStringsAdapter::LoadFromStreamEx(TStream* stream, UINT codePage) {
  InUpdate(this, [&] {
    const int64_t size = stream->Size() - stream->Position();
    std::string bytes(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
    if (!bytes.empty()) stream->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    // The mark SaveToFileEx writes for UTF-8 is no part of the text.
    if (codePage == CP_UTF8_NUMBER && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    FWideStrings->SetTextStr(StringToWideStringEx(AnsiString(std::move(bytes)), codePage));
  });
}

void TAnsiStringsForWideStringsAdapter::SaveToStreamEx(TStream* stream, UINT codePage) {
  AnsiString text = WideStringToStringEx(FWideStrings->GetTextStr(), codePage);
  if (!text.IsEmpty()) stream->WriteBuffer(text.c_str(), text.Length());
}

// ===========================================================================
// TUcStrings

TUcStrings::~TUcStrings() { delete FAnsiStrings; }

TAnsiStrings* TUcStrings::AnsiStrings() {
  // Made on first use: a list-view row's sub-items never need one.
  if (!FAnsiStrings) FAnsiStrings = new TAnsiStringsForWideStringsAdapter(this, 0);
  return FAnsiStrings;
}

void TUcStrings::SetAnsiStrings(TStrings* value) { AnsiStrings()->Assign(value); }

// ===========================================================================
// TUcStringList

TUcStringList::~TUcStringList() {
  OnChange.Clear();
  OnChanging.Clear();
}

void TUcStringList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit) Error(SListIndexError, index);
}

WideString TUcStringList::Get(int index) {
  CheckIndex(index, FCount);
  return FList[static_cast<size_t>(index)].FString;
}

TObject* TUcStringList::GetObject(int index) {
  CheckIndex(index, FCount);
  return FList[static_cast<size_t>(index)].FObject;
}

void TUcStringList::Put(int index, const WideString& s) {
  if (FSorted) Error(SSortedListError, 0);
  CheckIndex(index, FCount);
  Changing();
  FList[static_cast<size_t>(index)].FString = s;
  Changed();
}

void TUcStringList::PutObject(int index, TObject* obj) {
  CheckIndex(index, FCount);
  Changing();
  FList[static_cast<size_t>(index)].FObject = obj;
  Changed();
}

void TUcStringList::SetCapacity(int newCapacity) {
  FCapacity = std::max(newCapacity, FCount);
  FList.resize(static_cast<size_t>(FCapacity));
}

void TUcStringList::Grow() {
  int delta = FCapacity > 64 ? FCapacity / 4 : FCapacity > 8 ? 16 : 4;
  SetCapacity(FCapacity + delta);
}

void TUcStringList::SetUpdateState(bool updating) {
  FUpdating = updating;
  if (updating)
    Changing();
  else
    Changed();
}

void TUcStringList::Changed() {
  if (!FUpdating && OnChange) OnChange(this);
}

void TUcStringList::Changing() {
  if (!FUpdating && OnChanging) OnChanging(this);
}

int TUcStringList::CompareStrings(const WideString& s1, const WideString& s2) {
  return CompareWide(s1, s2, FCaseSensitive ? 0 : NORM_IGNORECASE);
}

int TUcStringList::Add(const WideString& s) { return AddObject(s, nullptr); }

int TUcStringList::AddObject(const WideString& s, TObject* obj) {
  int index;
  if (!FSorted) {
    index = FCount;
  } else if (Find(s, index)) {
    switch (FDuplicates) {
      case dupIgnore:
        return index;
      case dupError:
        Error(SDuplicateString, 0);
      case dupAccept:
        break;
    }
  }
  InsertItem(index, s, obj);
  return index;
}

void TUcStringList::InsertItem(int index, const WideString& s, TObject* obj) {
  Changing();
  if (FCount == FCapacity) Grow();
  std::move_backward(FList.begin() + index, FList.begin() + FCount, FList.begin() + FCount + 1);
  FList[static_cast<size_t>(index)].FString = s;
  FList[static_cast<size_t>(index)].FObject = obj;
  ++FCount;
  Changed();
}

void TUcStringList::Clear() {
  if (FCount == 0) return;
  Changing();
  FList.clear();
  FList.shrink_to_fit();
  FCount = 0;
  FCapacity = 0;
  Changed();
}

void TUcStringList::Delete(int index) {
  CheckIndex(index, FCount);
  Changing();
  std::move(FList.begin() + index + 1, FList.begin() + FCount, FList.begin() + index);
  --FCount;
  FList[static_cast<size_t>(FCount)] = TWideStringItem();
  Changed();
}

void TUcStringList::Exchange(int index1, int index2) {
  CheckIndex(index1, FCount);
  CheckIndex(index2, FCount);
  Changing();
  ExchangeItems(index1, index2);
  Changed();
}

void TUcStringList::ExchangeItems(int index1, int index2) {
  std::swap(FList[static_cast<size_t>(index1)], FList[static_cast<size_t>(index2)]);
}

bool TUcStringList::Find(const WideString& s, int& index) {
  return FindSortedIndex(
      FCount, FDuplicates == dupAccept,
      [&](int i) { return CompareStrings(FList[static_cast<size_t>(i)].FString, s); }, index);
}

int TUcStringList::IndexOf(const WideString& s) {
  if (!FSorted) return TWideStrings::IndexOf(s);
  int index;
  return Find(s, index) ? index : -1;
}

int TUcStringList::IndexOfName(const WideString& name) {
  if (!FSorted) return TWideStrings::IndexOfName(name);
  const WideString key = name + L"=";
  int index;
  Find(key, index);
  if (index < FCount &&
      CompareStrings(FList[static_cast<size_t>(index)].FString.SubString(1, key.Length()), key) == 0)
    return index;
  return -1;
}

void TUcStringList::Insert(int index, const WideString& s) { InsertObject(index, s, nullptr); }

void TUcStringList::InsertObject(int index, const WideString& s, TObject* obj) {
  if (FSorted) Error(SSortedListError, 0);
  CheckIndex(index, FCount + 1);
  InsertItem(index, s, obj);
}

void TUcStringList::Move(int curIndex, int newIndex) {
  // The inherited Move deletes first; on a sorted list its insert would then
  // fail and the entry would be lost.
  if (curIndex != newIndex && FSorted) Error(SSortedListError, 0);
  TWideStrings::Move(curIndex, newIndex);
}

namespace {
int CompareItems(TUcStringList* list, int index1, int index2) {
  return list->CompareStrings(list->Get(index1), list->Get(index2));
}
}  // namespace

void TUcStringList::Sort() { CustomSort(&CompareItems); }

void TUcStringList::CustomSort(TUcStringListSortCompare compare) {
  if (FSorted || FCount < 2) return;
  Changing();
  QuickSort(0, FCount - 1, compare);
  Changed();
}

void TUcStringList::QuickSort(int l, int r, TUcStringListSortCompare compare) {
  QuickSortIndexes(
      l, r, [&](int a, int b) { return compare(this, a, b); }, [&](int a, int b) { ExchangeItems(a, b); });
}

void TUcStringList::SetSorted(bool value) {
  if (FSorted == value) return;
  if (value) Sort();
  FSorted = value;
}

void TUcStringList::SetCaseSensitive(bool value) {
  if (FCaseSensitive == value) return;
  FCaseSensitive = value;
  if (FSorted && FCount > 1) {
    Changing();
    QuickSort(0, FCount - 1, &CompareItems);
    Changed();
  }
}
