// ANSI string lists: text rules, delimited text, names and values, sorting,
// duplicates, change events, capacity and the stream/file round trip.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "classes.h"
#include "raised.h"
#include "harness.h"

namespace {

std::vector<std::string> Lines(TStrings& list) {
  std::vector<std::string> r;
  for (int i = 0; i < list.Count(); ++i) r.push_back(list[i].str());
  return r;
}

using V = std::vector<std::string>;

TEST(TStringList, TextSplitsOnEveryLineBreakKind) {
  TStringList list;
  list.SetText("a\r\nb");
  EXPECT_EQ(Lines(list), (V{"a", "b"}));
  list.SetText("a\n\rb");  // LF then CR: a line break, then an empty line
  EXPECT_EQ(Lines(list), (V{"a", "", "b"}));
  list.SetText("a\rb\nc\r\n\r\nd");
  EXPECT_EQ(Lines(list), (V{"a", "b", "c", "", "d"}));
  list.SetText("a\r\n");  // no trailing empty line
  EXPECT_EQ(Lines(list), (V{"a"}));
  list.SetText("\r\n");
  EXPECT_EQ(Lines(list), (V{""}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  // Bytes the code page cannot tell apart from text, NUL included, stay.
  list.SetText(AnsiString(std::string("x\0y\r\n\xC0\xFF", 7)));
  EXPECT_EQ(Lines(list), (V{std::string("x\0y", 3), "\xC0\xFF"}));
}

TEST(TStringList, TextEndsEveryLineWithCrLf) {
  TStringList list;
  EXPECT_EQ(list.Text(), "");
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(list.Text(), "a\r\nb\r\n");
  list.Add("");
  EXPECT_EQ(list.Text(), "a\r\nb\r\n\r\n");
}

TEST(TStringList, DelimitedTextQuotesWhatNeedsIt) {
  TStringList list;
  list.Add("");
  EXPECT_EQ(list.DelimitedText(), "\"\"");
  list.Clear();
  list.Add("a b");
  list.Add("c");
  EXPECT_EQ(list.DelimitedText(), "\"a b\",c");
  list.Add("say \"hi\"");
  list.Add("");
  list.Add("x,y");
  list.Add("\xC0\xE1\xE2");  // bytes above 0x7F are plain text
  EXPECT_EQ(list.CommaText(), "\"a b\",c,\"say \"\"hi\"\"\",,\"x,y\",\xC0\xE1\xE2");

  list.SetDelimiter(';');
  list.SetQuoteChar('\'');
  EXPECT_EQ(list.DelimitedText(), "'a b';c;'say \"hi\"';;x,y;\xC0\xE1\xE2");
  // CommaText uses its own characters and restores the list's.
  EXPECT_EQ(list.CommaText().str().substr(0, 9), "\"a b\",c,\"");
  EXPECT_EQ(list.Delimiter(), ';');
  EXPECT_EQ(list.QuoteChar(), '\'');
}

TEST(TStringList, SettingDelimitedTextSplitsOnDelimiterAndBlanks) {
  TStringList list;
  list.SetDelimitedText("a,b,");
  EXPECT_EQ(Lines(list), (V{"a", "b", ""}));
  list.SetDelimitedText("  one two , \"three, four\" ,\"a \"\"q\"\"\",,end");
  EXPECT_EQ(Lines(list), (V{"one", "two", "three, four", "a \"q\"", "", "end"}));
  list.SetDelimitedText("");
  EXPECT_EQ(list.Count(), 0);
  list.SetDelimitedText("\"unterminated");
  EXPECT_EQ(Lines(list), (V{"unterminated"}));
  list.SetCommaText("x;y,z");
  EXPECT_EQ(Lines(list), (V{"x;y", "z"}));
  EXPECT_EQ(list.Delimiter(), ',');
  // Round trip of awkward items.
  TStringList src;
  for (const char* s : {"", " lead", "trail ", "a\"b", "c,d", "\xC1\xE5\xEB"}) src.Add(s);
  list.SetCommaText(src.CommaText());
  EXPECT_EQ(Lines(list), Lines(src));
}

TEST(TStringList, NamesAndValues) {
  TStringList list;
  list.Add("x=1=2");
  list.Add("plain");
  list.Add("Key=v");
  EXPECT_EQ(list.Values("x"), "1=2");
  EXPECT_EQ(list.Values("KEY"), "v");  // names compare without case
  EXPECT_EQ(list.Values("none"), "");
  EXPECT_EQ(list.Names(0), "x");
  EXPECT_EQ(list.Names(1), "");
  EXPECT_EQ(list.ValueFromIndex(0), "1=2");
  EXPECT_EQ(list.ValueFromIndex(1), "");  // no '=': no value
  EXPECT_EQ(list.ValueFromIndex(-1), "");
  list.SetValue("Key", "new");
  EXPECT_EQ(list[2], "Key=new");
  list.SetValue("added", "5");
  EXPECT_EQ(list[3], "added=5");
  list.SetValue("x", "");
  EXPECT_EQ(Lines(list), (V{"plain", "Key=new", "added=5"}));
  list.SetValueFromIndex(1, "w");
  EXPECT_EQ(list[1], "Key=w");
  list.SetValueFromIndex(-1, "tail");
  EXPECT_EQ(list[3], "=tail");
  list.SetValueFromIndex(3, "");
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.IndexOfName("ADDED"), 2);
}

TEST(TStringList, IndexErrorsAndSortedRules) {
  TStringList list;
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(Raised([&] { list.Delete(2); }), "EStringListError: List index out of bounds (2)");
  EXPECT_EQ(Raised([&] { list.Get(-1); }), "EStringListError: List index out of bounds (-1)");
  EXPECT_EQ(Raised([&] { list.Insert(3, "x"); }), "EStringListError: List index out of bounds (3)");
  EXPECT_EQ(Raised([&] { list.Put(2, "x"); }), "EStringListError: List index out of bounds (2)");
  EXPECT_EQ(Raised([&] { list.Exchange(0, 7); }), "EStringListError: List index out of bounds (7)");
  list.Insert(2, "c");  // at Count is allowed
  EXPECT_EQ(Lines(list), (V{"a", "b", "c"}));

  list.SetSorted(true);
  EXPECT_EQ(Raised([&] { list.Put(0, "x"); }), "EStringListError: Operation not allowed on sorted list");
  EXPECT_EQ(Raised([&] { list.Insert(0, "x"); }), "EStringListError: Operation not allowed on sorted list");
  // Move on a sorted list is refused before anything is deleted.
  EXPECT_EQ(Raised([&] { list.Move(0, 2); }), "EStringListError: Operation not allowed on sorted list");
  EXPECT_EQ(Lines(list), (V{"a", "b", "c"}));
  int tag = 0;
  list.PutObject(0, reinterpret_cast<TObject*>(&tag));  // allowed
  list.Exchange(0, 2);                                  // allowed
  EXPECT_EQ(list.Objects(2), reinterpret_cast<TObject*>(&tag));
}

TEST(TStringList, SortedAddFollowsTheDuplicatesRule) {
  TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add("m"), 0);
  EXPECT_EQ(list.Add("b"), 0);
  EXPECT_EQ(list.Add("x"), 2);
  EXPECT_EQ(list.Add("ABC"), 0);
  // Case-insensitive by default: "abc" equals "ABC"; dupIgnore returns its index.
  int tag = 0;
  EXPECT_EQ(list.AddObject("abc", reinterpret_cast<TObject*>(&tag)), 0);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Objects(0), nullptr);

  list.SetDuplicates(dupError);
  EXPECT_EQ(Raised([&] { list.Add("M"); }), "EStringListError: String list does not allow duplicates");
  EXPECT_EQ(list.Count(), 4);

  list.SetDuplicates(dupAccept);
  EXPECT_EQ(list.Add("m"), 2);  // before the existing equal one
  EXPECT_EQ(list.Add("M"), 2);
  EXPECT_EQ(Lines(list), (V{"ABC", "b", "M", "m", "m", "x"}));
  int index = -1;
  EXPECT_TRUE(list.Find("m", index));
  EXPECT_EQ(index, 2);  // first of the run
  EXPECT_FALSE(list.Find("c", index));
  EXPECT_EQ(index, 2);  // where it belongs
  EXPECT_FALSE(list.Find("zz", index));
  EXPECT_EQ(index, 6);
  EXPECT_EQ(list.IndexOf("B"), 1);
  EXPECT_EQ(list.IndexOf("q"), -1);

  TStringList empty;
  EXPECT_FALSE(empty.Find("a", index));
  EXPECT_EQ(index, 0);
}

TEST(TStringList, ComparisonFollowsTheLocale) {
  // Cyrillic in code page 1251: "абв" and "АБВ" differ only in case; "ё"
  // sorts with "е" by the locale, not by byte value (0xB8 < 0xE0).
  TStringList list;
  list.SetSorted(true);
  list.Add("\xE0\xE1\xE2");  // абв
  EXPECT_EQ(list.IndexOf("\xC0\xC1\xC2"), 0);  // АБВ
  list.Add("\xE6");  // ж
  list.Add("\xB8");  // ё
  list.Add("\xE5");  // е
  EXPECT_EQ(Lines(list), (V{"\xE0\xE1\xE2", "\xE5", "\xB8", "\xE6"}));

  TStringList cs;
  cs.SetCaseSensitive(true);
  cs.SetSorted(true);
  cs.Add("\xE0");  // а
  cs.Add("\xC0");  // А
  EXPECT_EQ(cs.Count(), 2);
  EXPECT_EQ(cs.IndexOf("\xC0"), cs.IndexOf("\xE0") == 0 ? 1 : 0);
  // Back to case-insensitive: the list is re-sorted and "А" finds one of them.
  cs.SetCaseSensitive(false);
  EXPECT_GE(cs.IndexOf("\xC0"), 0);
}

TEST(TStringList, SortAndCustomSort) {
  TStringList list;
  for (const char* s : {"pear", "Apple", "fig", "banana", "apple2", "Cherry"}) list.Add(s);
  list.Sort();
  EXPECT_EQ(Lines(list), (V{"Apple", "apple2", "banana", "Cherry", "fig", "pear"}));
  list.CustomSort([](TStringList* l, int i, int j) { return l->Get(i).Length() - l->Get(j).Length(); });
  EXPECT_EQ(list[0], "fig");
  EXPECT_EQ(list[5].Length(), 6);
  // On a sorted list CustomSort does nothing.
  list.SetSorted(true);
  list.CustomSort([](TStringList* l, int i, int j) { return -l->CompareStrings(l->Get(i), l->Get(j)); });
  EXPECT_EQ(list[0], "Apple");
  // Setting Sorted sorts first.
  TStringList other;
  for (int i = 200; i > 0; --i) other.Add(IntToStr(i % 37));
  other.SetSorted(true);
  for (int i = 1; i < other.Count(); ++i) EXPECT_LE(other.CompareStrings(other[i - 1], other[i]), 0);
}

struct TEventLog {
  std::vector<std::string> Events;
  void Changing(TObject*) { Events.push_back("changing"); }
  void Change(TObject*) { Events.push_back("change"); }
};

TEST(TStringList, ChangeEventsAndUpdateNesting) {
  TEventLog log;
  TStringList list;
  list.OnChanging = MakeEvent<&TEventLog::Changing>(&log);
  list.OnChange = MakeEvent<&TEventLog::Change>(&log);
  list.Clear();  // empty: no events
  EXPECT_TRUE(log.Events.empty());
  list.Add("a");
  EXPECT_EQ(log.Events, (V{"changing", "change"}));
  log.Events.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("b");
  list.Add("c");
  list.EndUpdate();
  list.Add("d");
  EXPECT_TRUE(log.Events.empty());
  list.EndUpdate();
  EXPECT_EQ(log.Events, (V{"change"}));
  EXPECT_EQ(list.UpdateCount(), 0);
  log.Events.clear();
  list.SetText("x\r\ny\r\nz");  // one update around the whole text
  EXPECT_EQ(log.Events, (V{"change"}));
  log.Events.clear();
  // A failed call raises no event and changes nothing.
  EXPECT_THROW(list.Delete(9), EStringListError);
  EXPECT_TRUE(log.Events.empty());
}

TEST(TStringList, CapacityGrowsByFourSixteenOrAQuarter) {
  TStringList list;
  std::vector<int> caps;
  for (int i = 1; i <= 77; ++i) {
    list.Add("s");
    if (i == 1 || i == 5 || i == 9 || i == 13 || i == 77) caps.push_back(list.Capacity());
  }
  EXPECT_EQ(caps, (std::vector<int>{4, 8, 12, 28, 95}));
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
  list.Add("a");
  EXPECT_THROW(list.SetCapacity(0), EStringListError);
}

TEST(TStrings, AssignMoveExchangeEquals) {
  TStringList a;
  a.SetDelimiter(';');
  int tag = 0;
  a.AddObject("one", reinterpret_cast<TObject*>(&tag));
  a.Add("two");
  a.Add("three");
  TStringList b;
  b.Add("old");
  b.Assign(&a);
  EXPECT_TRUE(b.Equals(&a));
  EXPECT_EQ(b.Objects(0), reinterpret_cast<TObject*>(&tag));
  EXPECT_EQ(b.Delimiter(), ';');
  b.Move(0, 2);
  EXPECT_EQ(Lines(b), (V{"two", "three", "one"}));
  EXPECT_EQ(b.Objects(2), reinterpret_cast<TObject*>(&tag));
  b.Exchange(0, 2);
  EXPECT_EQ(Lines(b), (V{"one", "three", "two"}));
  EXPECT_FALSE(b.Equals(&a));
  b.Put(1, "TWO");
  EXPECT_EQ(b.IndexOf("two"), 1);  // IndexOf ignores case
  EXPECT_EQ(b.IndexOfObject(reinterpret_cast<TObject*>(&tag)), 0);
  b.AddStrings(&a);
  EXPECT_EQ(b.Count(), 6);
}

TEST(TStrings, StreamAndFileRoundTrip) {
  TStringList list;
  list.Add("Первая строка");
  list.Add("");
  list.Add("third");
  TMemoryStream ms;
  list.SaveToStream(&ms);
  std::string bytes(static_cast<const char*>(ms.Memory()), ms.Size());
  EXPECT_EQ(bytes, list.Text().str());

  // Loading reads from the current position to the end.
  TStringStream ss("skip\r\nkeep\nlast");
  ss.SetPosition(6);
  TStringList loaded;
  loaded.Add("replaced");
  loaded.LoadFromStream(&ss);
  EXPECT_EQ(Lines(loaded), (V{"keep", "last"}));

  TempDir dir;
  list.SaveToFile(dir.File("lines.txt").c_str());
  EXPECT_EQ(ReadFileBytes(dir.File("lines.txt")), list.Text().str());
  WriteFileBytes(dir.File("unix.txt"), "a\nb\n");
  loaded.LoadFromFile(dir.File("unix.txt").c_str());
  EXPECT_EQ(Lines(loaded), (V{"a", "b"}));
  WriteFileBytes(dir.File("empty.txt"), "");
  loaded.LoadFromFile(dir.File("empty.txt").c_str());
  EXPECT_EQ(loaded.Count(), 0);
  // A missing file leaves the list as it was.
  loaded.Add("kept");
  EXPECT_THROW(loaded.LoadFromFile(dir.File("missing.txt").c_str()), EFOpenError);
  EXPECT_EQ(Lines(loaded), (V{"kept"}));
}

}  // namespace
