// The printed lines and their layout, on a surface whose glyphs are 10 units
// wide and whose lines are 20 high, so every cut and page break is exact.
#include <gtest/gtest.h>

#include "ExportTestUtil.h"
#include "PrintExport.h"

namespace {

class FixedSurface : public IPrintSurface {
public:
  FixedSurface(int width, int height) : Width(width), Height(height) {}
  int PageWidth() override { return Width; }
  int PageHeight() override { return Height; }
  int TextWidth(const AnsiString& text) override { return 10 * text.Length(); }
  int TextHeight(const AnsiString& text) override { return text.IsEmpty() ? 0 : 20; }
  void TextOut(int x, int y, const AnsiString& text) override {
    Log += std::to_string(x) + "," + std::to_string(y) + ":" + text.str() + "\n";
  }
  void NewPage() override { Log += "--\n"; }
  int Width, Height;
  std::string Log;
};

std::string Printed(const std::vector<std::string>& lines, int width, int height = 10000) {
  TStringList list;
  for (const std::string& l : lines) list.Add(AnsiString(l));
  FixedSurface surface(width, height);
  PrintLines(&list, surface);
  return surface.Log;
}

TEST(PrintLayout, LinesWrapUntilEveryPartFits) {
  // Usable width: page width - 200.
  const struct {
    const char* what;
    std::vector<std::string> lines;
    int width;
    std::string log;
  } cases[] = {
      {"narrower than the width", {"abcd"}, 250, "100,100:abcd\n"},
      {"exactly the width: whole, then an empty part", {"abcde"}, 250, "100,100:abcde\n100,120:\n"},
      {"slightly wider: the last two characters move", {"abcdef"}, 250, "100,100:abcd\n100,120:ef\n"},
      {"an odd overflow cuts two at a time", {"abcdefg"}, 250, "100,100:abcde\n100,120:fg\n"},
      {"more than twice the width", {"abcdefghijklmn"}, 250,
       "100,100:abcd\n100,120:efgh\n100,140:ijkl\n100,160:mn\n"},
      {"a page without room does not hang", {"ab", "c"}, 150, "100,100:ab\n100,120:c\n"},
      {"a page exactly as wide as its margins", {"x"}, 200, "100,100:x\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Printed(c.lines, c.width), c.log) << c.what;
}

TEST(PrintLayout, APageEndsWithTheFirstLineBelowItsLimit) {
  // Height 400: full once y > 200, that is after the sixth line (y 220).
  std::vector<std::string> lines;
  // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
  for (int i = 0; i < 7; ++i) lines.push_back("l" + std::to_string(i));
#pragma GCC diagnostic pop
  EXPECT_EQ(Printed(lines, 1000, 400),
            "100,100:l0\n100,120:l1\n100,140:l2\n100,160:l3\n100,180:l4\n100,200:l5\n--\n100,100:l6\n");
  EXPECT_EQ(Printed({"aaaa", "bbbbbbbbbbbbbb", "c"}, 250, 340),
            "100,100:aaaa\n100,120:bbbb\n100,140:bbbb\n100,160:bbbb\n100,180:bb\n--\n100,100:c\n")
      << "all parts of a line before the test";
}

TEST(PrintLines, FilesOfTheShownFolderAndBelowInListOrder) {
  TestList list;
  ListNode* s = list.Folder("S");
  list.File("c.txt", 0, s);
  list.File("d.txt", 0, list.Folder("T", s));
  list.File("b.txt")->Attributes = DamagedBit;
  ListNode* absent = list.File("a.txt");
  absent->Absent = 1;
  list.Folder("Empty");
  TStringList lines;
  CollectPrintLines(list.Root()->Children, "", &lines);
  ASSERT_EQ(lines.Count(), 4);
  EXPECT_EQ(lines.Strings(0), "S\\c.txt");
  EXPECT_EQ(lines.Strings(1), "S\\T\\d.txt");
  EXPECT_EQ(lines.Strings(2), "*b.txt");
  EXPECT_EQ(lines.Strings(3), "a.txt") << "absence has no mark of its own";
}

TEST(PrintLines, AListTwentyThousandLevelsDeepGivesItsOneLine) {
  TestList list;
  ListNode* folder = nullptr;
  std::string path;
  for (int i = 0; i < 20000; ++i) {
    // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    folder = list.Folder("d" + std::to_string(i % 10), folder);
    path += "d" + std::to_string(i % 10) + "\\";
#pragma GCC diagnostic pop
  }
  list.File("deep.txt", 0, folder)->Attributes = DamagedBit;
  TStringList lines;
  CollectPrintLines(list.Root()->Children, "", &lines);
  ASSERT_EQ(lines.Count(), 1);
  EXPECT_EQ(lines.Strings(0).str(), "*" + path + "deep.txt");
}

}  // namespace
