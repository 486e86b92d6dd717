// The order of a page's lines: lower-cased windows-1251 bytes, a prefix
// first, equal keys in the reverse order of their insertion.
#include <gtest/gtest.h>

#include "ExportTestUtil.h"
#include "Usorter.h"

namespace {

std::string Ordered(const std::vector<std::string>& keys) {
  TSorter sorter;
  for (size_t i = 0; i < keys.size(); ++i) sorter.AddFile(AnsiString(keys[i]), AnsiString(keys[i] + "#" + std::to_string(i) + ","));
  return sorter.FilesText().str();
}

TEST(PageSorter, OrdersByLowerCasedBytes) {
  const struct {
    std::vector<std::string> keys;
    std::string text;
  } cases[] = {
      {{"b", "a", "c"}, "a#1,b#0,c#2,"},
      {{"a", "b", "c", "ab"}, "a#0,ab#3,b#1,c#2,"},
      {{"Beta", "alpha"}, "alpha#1,Beta#0,"},
      {{A(L"я"), "z", A(L"А")}, "z#1," + A(L"А") + "#2," + A(L"я") + "#0,"},
      {{A(L"а"), A(L"ё"), A(L"Ё")}, A(L"Ё") + "#2," + A(L"ё") + "#1," + A(L"а") + "#0,"},
      {{"same", "SAME", "Same"}, "Same#2,SAME#1,same#0,"},
      {{"b", "_", "A"}, "_#1,A#2,b#0,"},
      // Keys alike in their first eight bytes and beyond.
      {{"abcdefghB", "ABCDEFGHa", "abcdefgh"}, "abcdefgh#2,ABCDEFGHa#1,abcdefghB#0,"},
      {{"abcdefgh", "abcdefg", "ABCDEFGH"}, "abcdefg#1,ABCDEFGH#2,abcdefgh#0,"},
      {{"file 10.txt", "file 9.txt", "file 1.txt"}, "file 1.txt#2,file 10.txt#0,file 9.txt#1,"},
      {{A(L"ЖЖЖЖЖЖЖЖя"), A(L"жжжжжжжжА")}, A(L"жжжжжжжжА") + "#1," + A(L"ЖЖЖЖЖЖЖЖя") + "#0,"},
      {{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Ordered(c.keys), c.text) << (c.keys.empty() ? "" : c.keys[0]);
}

TEST(PageSorter, FoldersAndFilesApartAndRecordsByIndex) {
  TSorter sorter;
  sorter.AddFolder("d2", "<d2>");
  sorter.AddFile("f1", "<f1>");
  sorter.AddFolder("D1", "<d1>");
  EXPECT_EQ(sorter.FoldersText(), "<d1><d2>");
  EXPECT_EQ(sorter.FilesText(), "<f1>");
  ASSERT_NE(sorter.Get(0, sorter.Folders()), nullptr);
  EXPECT_EQ(sorter.Get(0, sorter.Folders())->key, "D1");
  EXPECT_EQ(sorter.Get(2, sorter.Folders()), nullptr);
  EXPECT_EQ(sorter.Get(1, sorter.Files()), nullptr);
  // Cleared, a sorter orders its next page as a new one would.
  sorter.Clear();
  EXPECT_EQ(sorter.FoldersText(), "");
  sorter.AddFile("b", "<b>");
  sorter.AddFile("a", "<a1>");
  sorter.AddFile("A", "<a2>");
  EXPECT_EQ(sorter.FilesText(), "<a2><a1><b>");
  TSorter empty;
  EXPECT_EQ(empty.FoldersText(), "");
  EXPECT_EQ(empty.FilesText(), "");
}

}  // namespace
