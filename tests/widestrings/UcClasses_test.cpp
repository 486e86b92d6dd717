#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "UcClasses.h"
#include "UcWideStrUtils.h"
#include "WideTestUtil.h"

namespace {

std::vector<std::wstring> Items(TWideStrings& list) {
  std::vector<std::wstring> r;
  for (int i = 0; i < list.Count(); ++i) r.push_back(list.Get(i).str());
  return r;
}

// Counts the change events of a list.
struct EventCounter {
  int Changing = 0;
  int Changed = 0;
  void OnChanging(TObject*) { ++Changing; }
  void OnChanged(TObject*) { ++Changed; }
  void Attach(TUcStringList& list) {
    list.OnChanging = MakeEvent<&EventCounter::OnChanging>(this);
    list.OnChange = MakeEvent<&EventCounter::OnChanged>(this);
  }
};

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message().str();
  }
  return "(nothing raised)";
}

}  // namespace

TEST(WideStringList, TextSplitsAtEveryLineBreak) {
  TUcStringList list;
  list.SetTextStr(L"a\r\nb");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"a", L"b"}));
  list.SetTextStr(L"a\n\rb");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"a", L"", L"b"}));
  list.SetTextStr(L"a\x2028" L"b");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"a", L"b"}));
  list.SetTextStr(L"a\r\n\x2028" L"b\r");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"a", L"b"}));
  list.SetTextStr(L"a\r\n");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"a"}));
  list.SetTextStr(L"\r\n\r\n");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"", L""}));
  list.SetTextStr(L"");
  EXPECT_EQ(list.Count(), 0);
  list.SetTextStr(L"a\r\nb");
  EXPECT_EQ(list.GetTextStr(), WideString(L"a\r\nb\r\n"));
  wchar_t* copy = list.GetTextW();
  EXPECT_EQ(WideString(copy), WideString(L"a\r\nb\r\n"));
  WStrDispose(copy);
  list.SetTextW(L"x\ny");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"x", L"y"}));
  TUcStringList empty;
  EXPECT_EQ(empty.GetTextStr(), WideString());
}

TEST(WideStringList, DelimitedAndCommaText) {
  TUcStringList list;
  list.Add(L"");
  EXPECT_EQ(list.GetDelimitedText(), WideString(L"\"\""));
  list.Clear();
  list.Add(L"a b");
  list.Add(L"c");
  EXPECT_EQ(list.GetDelimitedText(), WideString(L"\"a b\",c"));
  list.Add(L"q\"t");
  list.Add(L"\x0416");
  EXPECT_EQ(list.GetCommaText(), WideString(L"\"a b\",c,\"q\"\"t\",\x0416"));
  list.SetDelimitedText(L"a,b,");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"a", L"b", L""}));
  list.SetDelimitedText(L" a , b ");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"a", L"b"}));
  list.SetDelimitedText(L"\"x\"\"y\",z");
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"x\"y", L"z"}));
  list.SetDelimitedText(L"one two");  // a space separates items too
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"one", L"two"}));
  list.SetDelimitedText(L"\"open");    // no closing quote: the last character goes
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"ope"}));
  // Round trip through the delimited form.
  TUcStringList source;
  for (const wchar_t* s : {L"plain", L"with space", L"with,comma", L"with\"quote", L"", L"\x4E2D"}) source.Add(s);
  list.SetCommaText(source.GetCommaText());
  EXPECT_EQ(Items(list), Items(source));
}

TEST(WideStringList, CommaTextRestoresCustomDelimiterAndQuote) {
  TUcStringList list;
  EXPECT_EQ(list.DefinedProperties(), 0);
  list.Add(L"a;b");
  list.Add(L"c");
  list.SetDelimiter(L';');
  const uint8_t defined = list.DefinedProperties();
  EXPECT_EQ(defined, 1);
  EXPECT_EQ(list.GetCommaText(), WideString(L"a;b,c"));
  EXPECT_EQ(list.GetDelimiter(), L';');
  EXPECT_EQ(list.DefinedProperties(), defined);
  EXPECT_EQ(list.GetDelimitedText(), WideString(L"\"a;b\";c"));
  list.SetCommaText(L"x,y");  // sets both for good
  EXPECT_EQ(list.GetDelimiter(), L',');
  EXPECT_EQ(list.DefinedProperties(), 3);
  TUcStringList fresh;
  EXPECT_EQ(fresh.GetQuoteChar(), L'"');  // the lazy default marks it as set
  EXPECT_EQ(fresh.DefinedProperties(), 2);
}

TEST(WideStringList, SortedListAndDuplicates) {
  TUcStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add(L"ABC"), 0);
  EXPECT_EQ(list.Add(L"abc"), 0);  // dupIgnore: the index of the equal one, nothing stored
  EXPECT_EQ(list.Count(), 1);
  TObject marker;
  EXPECT_EQ(list.AddObject(L"abc", &marker), 0);
  EXPECT_EQ(list.GetObject(0), nullptr);  // the object of an ignored duplicate is not kept
  list.SetDuplicates(dupError);
  EXPECT_EQ(MessageOf([&] { list.Add(L"Abc"); }), "String list does not allow duplicates");
  list.SetDuplicates(dupAccept);
  list.AddObject(L"abc", &marker);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetObject(0), &marker);  // before the equal one
  list.Add(L"aBc");
  int index = -1;
  EXPECT_TRUE(list.Find(L"ABC", index));
  EXPECT_EQ(index, 0);  // the first of the run
  EXPECT_EQ(MessageOf([&] { list.Put(0, L"x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(MessageOf([&] { list.Insert(0, L"x"); }), "Operation not allowed on sorted list");
  list.PutObject(1, &marker);
  list.Exchange(0, 2);
  EXPECT_EQ(list.Count(), 3);
  TUcStringList empty;
  EXPECT_FALSE(empty.Find(L"x", index));
  EXPECT_EQ(index, 0);
}

TEST(WideStringList, SortingIsLinguisticAndCaseRule) {
  TUcStringList list;
  for (const wchar_t* s : {L"b", L"A", L"c"}) list.Add(s);
  list.SetSorted(true);
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"A", L"b", L"c"}));
  EXPECT_EQ(list.IndexOf(L"B"), 1);
  EXPECT_EQ(list.Add(L"B"), 1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf(L"B"), -1);
  list.Add(L"B");
  EXPECT_EQ(list.Count(), 4);
  list.SetSorted(false);
  list.Add(L"0");
  EXPECT_EQ(list.Get(4), WideString(L"0"));  // unsorted again: appended
  TUcStringList unsorted;
  unsorted.Add(L"ABC");
  EXPECT_EQ(unsorted.IndexOf(L"abc"), 0);
  unsorted.SetCaseSensitive(true);
  EXPECT_EQ(unsorted.IndexOf(L"abc"), -1);
  // Many items against the system's own comparison.
  TUcStringList big;
  for (int i = 0; i < 500; ++i) big.Add(WideString(std::to_wstring((i * 7919) % 1000)));
  big.Sort();
  for (int i = 1; i < big.Count(); ++i)
    EXPECT_LE(CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, big.Get(i - 1).c_bstr(), -1, big.Get(i).c_bstr(),
                             -1),
              CSTR_EQUAL);
  EXPECT_EQ(big.Count(), 500);
}

TEST(WideStringList, IndexErrorsCarryTheIndex) {
  TUcStringList list;
  list.Add(L"a");
  EXPECT_EQ(MessageOf([&] { list.Delete(1); }), "List index out of bounds (1)");
  EXPECT_EQ(MessageOf([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(MessageOf([&] { list.GetObject(5); }), "List index out of bounds (5)");
  EXPECT_EQ(MessageOf([&] { list.Insert(3, L"x"); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf([&] { list.Exchange(0, 2); }), "List index out of bounds (2)");
  EXPECT_THROW(list.Put(1, L"x"), EStringListError);
  list.Insert(1, L"b");  // Insert(Count) is allowed
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"a", L"b"}));
}

TEST(WideStringList, ChangeEvents) {
  TUcStringList list;
  EventCounter events;
  events.Attach(list);
  list.Clear();
  EXPECT_EQ(events.Changing + events.Changed, 0);  // an empty list raises nothing
  list.BeginUpdate();
  list.Add(L"a");
  list.Add(L"b");
  list.Add(L"c");
  list.EndUpdate();
  EXPECT_EQ(events.Changed, 1);
  EXPECT_EQ(events.Changing, 0);
  list.Add(L"d");
  EXPECT_EQ(events.Changing, 1);
  EXPECT_EQ(events.Changed, 2);
  list.BeginUpdate();
  list.BeginUpdate();
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(events.Changed, 2);  // only the outermost update ends with OnChange
  list.EndUpdate();
  EXPECT_EQ(events.Changed, 3);
  list.SetTextStr(L"x\ny\nz");
  EXPECT_EQ(events.Changed, 4);
  EXPECT_FALSE(list.Updating());
  // An EndUpdate without its BeginUpdate changes nothing: the next update
  // still starts and ends once.
  list.EndUpdate();
  EXPECT_EQ(list.UpdateCount(), 0);
  EXPECT_EQ(events.Changed, 4);
  list.BeginUpdate();
  EXPECT_TRUE(list.Updating());
  list.Add(L"e");
  list.EndUpdate();
  EXPECT_FALSE(list.Updating());
  EXPECT_EQ(events.Changed, 5);
}

TEST(WideStringList, CapacityFollowsTheGrowthSteps) {
  TUcStringList list;
  const int adds[] = {1, 5, 9, 13, 77};
  const int capacities[] = {4, 8, 12, 28, 95};
  int added = 0;
  for (int k = 0; k < 5; ++k) {
    while (added < adds[k]) {
      list.Add(L"x");
      ++added;
    }
    EXPECT_EQ(list.Capacity(), capacities[k]) << adds[k] << " adds";
  }
  list.Delete(0);
  EXPECT_EQ(list.Capacity(), 95);
  list.SetCapacity(10);  // never below Count: nothing is lost
  EXPECT_EQ(list.Capacity(), 76);
  EXPECT_EQ(list.Count(), 76);
  EXPECT_EQ(list.Get(75), WideString(L"x"));
  list.SetCapacity(200);
  EXPECT_EQ(list.Capacity(), 200);
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(WideStringList, NamesAndValues) {
  TUcStringList list;
  list.Add(L"x=1=2");
  list.Add(L"plain");
  list.Add(L"Key=\x0416");
  EXPECT_EQ(list.GetValue(L"x"), WideString(L"1=2"));
  EXPECT_EQ(list.GetValue(L"KEY"), WideString(L"\x0416"));
  EXPECT_EQ(list.GetValue(L"none"), WideString());
  EXPECT_EQ(list.GetName(1), WideString());
  EXPECT_EQ(list.GetName(0), WideString(L"x"));
  EXPECT_EQ(list.GetValueFromIndex(0), WideString(L"1=2"));
  EXPECT_EQ(list.GetValueFromIndex(-1), WideString());
  // A line without '=' has no value; it does not give its text minus one character.
  EXPECT_EQ(list.GetValueFromIndex(1), WideString());
  EXPECT_EQ(list.ValueFromIndex(2), WideString(L"\x0416"));
  EXPECT_EQ(list.IndexOfName(L"key"), 2);
  list.SetValue(L"new", L"v");
  EXPECT_EQ(list.Get(3), WideString(L"new=v"));
  list.SetValue(L"x", L"9");
  EXPECT_EQ(list.Get(0), WideString(L"x=9"));
  list.SetValue(L"x", L"");
  EXPECT_EQ(list.IndexOfName(L"x"), -1);
  list.SetValueFromIndex(0, L"w");
  EXPECT_EQ(list.Get(0), WideString(L"=w"));  // a line without '=' has an empty name
  list.SetValueFromIndex(-1, L"z");
  EXPECT_EQ(list.Get(list.Count() - 1), WideString(L"=z"));
  TUcStringList sorted;
  sorted.SetSorted(true);
  sorted.Add(L"b=2");
  sorted.Add(L"a=1");
  sorted.Add(L"ab=3");
  EXPECT_EQ(sorted.IndexOfName(L"AB"), 1);
  EXPECT_EQ(sorted.GetValue(L"b"), WideString(L"2"));
  EXPECT_EQ(sorted.IndexOfName(L"c"), -1);
  EXPECT_EQ(TWideStrings::ExtractName(L"n=v"), WideString(L"n"));
}

TEST(WideStringList, MoveExchangeAndObjects) {
  TUcStringList list;
  TObject o1, o2;
  list.AddObject(L"a", &o1);
  list.Add(L"b");
  list.AddObject(L"c", &o2);
  list.Move(0, 2);
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"b", L"c", L"a"}));
  EXPECT_EQ(list.GetObject(2), &o1);
  list.Exchange(0, 1);
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"c", L"b", L"a"}));
  EXPECT_EQ(list.IndexOfObject(&o2), 0);
  EXPECT_EQ(list.IndexOfObject(nullptr), 1);
  list.Put(1, L"B");
  EXPECT_EQ(list.Get(1), WideString(L"B"));
  // A sorted list refuses before anything is deleted.
  list.SetSorted(true);
  const auto before = Items(list);
  EXPECT_THROW(list.Move(0, 2), EStringListError);
  EXPECT_EQ(Items(list), before);
  list.Move(1, 1);
}

TEST(WideStringList, AssignEqualsEnumerator) {
  TUcStringList source, copy;
  TObject obj;
  source.AddObject(L"one", &obj);
  source.Add(L"\x4E2D");
  source.SetDelimiter(L'|');
  copy.Add(L"old");
  copy.Assign(&source);
  EXPECT_EQ(Items(copy), Items(source));
  EXPECT_EQ(copy.GetObject(0), &obj);
  EXPECT_EQ(copy.GetDelimiter(), L'|');
  EXPECT_TRUE(copy.Equals(&source));
  copy.Put(1, L"\x4E2E");
  EXPECT_FALSE(copy.Equals(&source));
  copy.Delete(1);
  EXPECT_FALSE(copy.Equals(&source));
  std::vector<std::wstring> seen;
  TWideStringsEnumerator e = source.GetEnumerator();
  while (e.MoveNext()) seen.push_back(e.GetCurrent().str());
  EXPECT_EQ(seen, Items(source));
  TUcStringList empty;
  TWideStringsEnumerator none = empty.GetEnumerator();
  EXPECT_FALSE(none.MoveNext());
  TPersistent other;
  EXPECT_THROW(copy.Assign(&other), EConvertError);
  copy.AddStrings(&source);
  EXPECT_EQ(copy.Count(), 3);
}

TEST(WideStringListAcp, AssignToAndFromNarrowLists) {
  TStringList narrow;
  narrow.Add(AnsiString(Bytes("C6")));
  narrow.SetDelimiter(';');
  TUcStringList wide;
  wide.Assign(&narrow);
  if (GetACP() == 1251) { EXPECT_EQ(wide.Get(0), WideString(L"\x0416")); }
  if (GetACP() == 1252) { EXPECT_EQ(wide.Get(0), WideString(L"\x00C6")); }
  EXPECT_EQ(wide.GetDelimiter(), L';');
  wide.Add(L"\x0436");
  TStringList back;
  back.Assign(&wide);  // through AssignTo
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Get(0).str(), Bytes("C6"));
  EXPECT_EQ(back.Get(1).str(), GetACP() == 1251 ? Bytes("E6") : std::string("?"));
  EXPECT_EQ(back.Delimiter(), ';');
  TUcStringList viaAdd;
  viaAdd.AddStrings(&narrow);
  EXPECT_EQ(viaAdd.Get(0), wide.Get(0));
}

TEST(WideStringListAcp, TheAnsiView) {
  TUcStringList wide;
  wide.Add(L"\x0416\x0443\x043A");
  TAnsiStrings* view = wide.AnsiStrings();
  ASSERT_EQ(view->Count(), 1);
  EXPECT_EQ(view->Get(0), WideToAnsi(L"\x0416\x0443\x043A"));
  view->Add("abc");
  EXPECT_EQ(wide.Get(1), WideString(L"abc"));
  view->Insert(0, AnsiString(Bytes("C6")));
  EXPECT_EQ(wide.Get(0), AnsiToWide(AnsiString(Bytes("C6"))));
  view->Delete(0);
  EXPECT_EQ(wide.Count(), 2);
  TStringList other;
  other.Add("x");
  wide.SetAnsiStrings(&other);
  EXPECT_EQ(Items(wide), (std::vector<std::wstring>{L"x"}));
  // Files through the view, UTF-8 with its mark and back without a U+FEFF.
  WideTempDir dir;
  wide.SetTextStr(L"\x0416\r\n\x4E2D");
  static_cast<TAnsiStrings*>(wide.AnsiStrings())->SaveToFileEx(dir.File(L"u.txt"), 65001);
  EXPECT_EQ(ReadWideFileBytes(dir.File(L"u.txt")), Bytes("EF BB BF D0 96 0D 0A E4 B8 AD 0D 0A"));
  TUcStringList loaded;
  loaded.AnsiStrings()->LoadFromFileEx(dir.File(L"u.txt"), 65001);
  EXPECT_EQ(Items(loaded), (std::vector<std::wstring>{L"\x0416", L"\x4E2D"}));
  wide.AnsiStrings()->SaveToFileEx(dir.File(L"a.txt"), 0);
  EXPECT_EQ(ReadWideFileBytes(dir.File(L"a.txt")), WideToAnsi(L"\x0416\r\n\x4E2D\r\n").str());
  TUcStringList plain;
  plain.AnsiStrings()->LoadFromFile(dir.File(L"a.txt"));
  EXPECT_EQ(plain.Get(0), AnsiToWide(WideToAnsi(L"\x0416")));
}

namespace {
int WINAPI CompareNotImplemented(LCID, DWORD, LPCWSTR, int, LPCWSTR, int) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return 0;
}
int WINAPI CompareFails(LCID, DWORD, LPCWSTR, int, LPCWSTR, int) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}
}  // namespace

TEST(WideStringList, ComparisonWithoutTheWideCall) {
  TUcStringList list;
  UcListCompareStringW = &CompareNotImplemented;
  EXPECT_EQ(list.CompareStrings(L"abc", L"ABC"), 0);  // the ANSI forms, ignoring case
  EXPECT_LT(list.CompareStrings(L"abc", L"abd"), 0);
  list.SetCaseSensitive(true);
  EXPECT_NE(list.CompareStrings(L"abc", L"ABC"), 0);
  UcListCompareStringW = &CompareFails;
  EXPECT_THROW(list.CompareStrings(L"a", L"b"), EOSError);
  UcListCompareStringW = nullptr;
  // Lengths, not terminators, bound the comparison.
  EXPECT_LT(list.CompareStrings(WideString(L"a\0b", 3), WideString(L"a\0c", 3)), 0);
}

namespace {
class RecordingAdapter : public IWideStringsAdapter {
public:
  long AddRef() override { return ++Refs; }
  long Release() override { return --Refs; }
  void ReferenceStrings(TWideStrings* s) override { Referenced = s; }
  void ReleaseStrings() override { Referenced = nullptr; ++Releases; }
  long Refs = 0;
  int Releases = 0;
  TWideStrings* Referenced = nullptr;
};
}  // namespace

TEST(WideStringList, StringsAdapter) {
  RecordingAdapter adapter;
  {
    TUcStringList list;
    list.SetStringsAdapter(&adapter);
    EXPECT_EQ(adapter.Referenced, &list);
    EXPECT_EQ(adapter.Refs, 1);
    EXPECT_EQ(list.StringsAdapter(), &adapter);
  }
  EXPECT_EQ(adapter.Referenced, nullptr);  // the list let go when destroyed
  EXPECT_EQ(adapter.Releases, 1);
  EXPECT_EQ(adapter.Refs, 0);
}
