// The HTML site: its pieces byte for byte, whole pages of hand-built trees,
// disk names that never collide, escaping, cancel, failures, and real readers
// (every link and picture of every page resolves; every picture decodes).
#include <gtest/gtest.h>

#include <functional>
#include <malloc.h>
#include <set>

#include "ExportTestUtil.h"
#include "Uexporttohtml.h"
#include "graphics.h"
#include "sysutils.h"

namespace {

std::string Sp(int n) { return std::string(n, ' '); }

TEST(HtmlPieces, PaddingCutsAndFills) {
  const struct {
    const char* text;
    int w;
    const char* left;
    const char* right;
  } cases[] = {
      {"ab", 4, "  ab", "ab  "}, {"abcd", 4, "abcd", "abcd"}, {"abcde", 4, "abcd", "abcd"},
      {"", 3, "   ", "   "},    {"", 0, "", ""},            {"", -2, "", ""}, {"x", 0, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PadLeft(c.text, c.w), c.left) << c.text << "/" << c.w;
    EXPECT_EQ(PadRight(c.text, c.w), c.right) << c.text << "/" << c.w;
  }
}

TEST(HtmlPieces, UpLinksAndTransliteration) {
  EXPECT_EQ(UpLinkPrefix("\\\\?\\C:\\s", "\\\\?\\C:\\s"), "");
  EXPECT_EQ(UpLinkPrefix("\\\\?\\C:\\s", "\\\\?\\C:\\s\\A"), "../");
  EXPECT_EQ(UpLinkPrefix("\\\\?\\C:\\s", "\\\\?\\C:\\s\\A\\B"), "../../");
  EXPECT_EQ(UpLinkPrefix("x", "/A/B"), "../../");
  const struct {
    const wchar_t* name;
    const char* disk;
  } names[] = {
      {L"Документы", "D_o_k_u_m_e_n_t_y_"}, {L"Хор", "Ch_o_r_"}, {L"Чор", "Ch_o_r_"}, {L"Щи", "Ch_i_"},
      {L"Data", "Data"},  {L"a?b", "a__b"}, {L"Ъ", "''"},     {L"ь", "''"},
      {L"Ёлка", "Ye_l_k_a_"}, {L"ёж", "ye_zh_"}, {L"Юля Я", "Yu_l_ya_ Ya_"}, {L"ЦЗ", "Z_Z_"},
      {L"ЙЫ", "Y_Y_"}, {L"ЕЭ", "E_E_"}, {L"№1 «x»", "\xB9" "1 \xAB" "x\xBB"},
  };
  for (const auto& c : names) EXPECT_EQ(Transliterate(A(c.name)), c.disk) << A(c.name);
}

TEST(HtmlPieces, EntryColumns) {
  struct Case {
    uint64_t size;
    uint8_t attributes;
    std::string comment;
    std::string sizeColumn, letters;
  };
  const Case cases[] = {
      {0, 0, "", "1", ""},          {1024, 0, "", "1", ""},           {1025, 0, "", "1", ""},
      {1536, 0, "", "2", ""},       {2560, 0, "", "2", ""},           {3584, 0, "", "4", ""},
      {0, eaReadOnly | eaArchive | DamagedBit, "", "1", "AER"},
      {0, 0xFF, "", "1", "ACEHRSTV"},
      {0, 0, std::string(31, 'c'), "1", ""},
  };
  for (const Case& c : cases) {
    TestList list;
    ListNode* n = list.File("f", c.size);
    n->Attributes = c.attributes;
    SetText(n->Created, "01.02.2003 04:05:06");
    SetComment(n, c.comment);
    const std::string line = FormatEntryLine(n).str();
    ASSERT_EQ(line.size(), 100u);
    EXPECT_EQ(line.substr(0, 12), Sp(12 - static_cast<int>(c.sizeColumn.size())) + c.sizeColumn) << c.size;
    EXPECT_EQ(line.substr(12, 24), Sp(5) + "01.02.2003 04:05:06");
    EXPECT_EQ(line.substr(36, 24), Sp(24));
    EXPECT_EQ(line.substr(60, 10), Sp(10 - static_cast<int>(c.letters.size())) + c.letters);
    const std::string shown = c.comment.substr(0, 30);
    EXPECT_EQ(line.substr(70), Sp(30 - static_cast<int>(shown.size())) + shown);
  }
}

TEST(HtmlPieces, EscapesAndLinkPaths) {
  EXPECT_EQ(HtmlEscape("a<b>&\"c\""), "a&lt;b&gt;&amp;&quot;c&quot;");
  EXPECT_EQ(HtmlEscape("plain"), "plain");
  EXPECT_EQ(UrlEncodePath("D_o_k/index.html"), "D_o_k/index.html");
  EXPECT_EQ(UrlEncodePath("50% #1?"), "50%25%20%231%3F");
  EXPECT_EQ(UrlEncodePath("''"), "%27%27");
  EXPECT_EQ(UrlEncodePath(A(L"/Доки/я.txt")), "/%D0%94%D0%BE%D0%BA%D0%B8/%D1%8F.txt");
}

TEST(HtmlPieces, EscapingAppendsAfterWhatIsThere) {
  const struct {
    std::string before, text, after;
  } cases[] = {
      {"", "", ""},
      {"<b>", "", "<b>"},
      {"x<", "<", "x<&lt;"},
      {"", "&&", "&amp;&amp;"},
      {"", "\"<>\"", "&quot;&lt;&gt;&quot;"},
      // Apostrophes, Cyrillic and undefined bytes of 1251 stay as they are.
      {"", "'\xE0\xFF\x98\xB8", "'\xE0\xFF\x98\xB8"},
      {"", std::string("a\0&", 3), std::string("a\0&amp;", 7)},
      {"", std::string(300, '"'), [] {
         std::string s;
         for (int i = 0; i < 300; ++i) s += "&quot;";
         return s;
       }()},
  };
  for (const auto& c : cases) {
    std::string out = c.before;
    AppendHtmlEscaped(out, c.text);
    EXPECT_EQ(out, c.after) << c.text;
    EXPECT_EQ(HtmlEscape(c.text), c.after.substr(c.before.size())) << c.text;
  }
}

const std::string Title = A(L"Мой Список");

std::string Head(const std::string& lowerTitle, const std::string& crumbs) {
  return " <!doctype html public \"-//w3c//dtd html 4.0 transitional//en\"> \r<html>\r<head>\r"
         "<meta http-equiv='content-type' content='text/html; charset=windows-1251'>\r"
         "<meta name=\"description\" content=\"" + A(L"список файлов создан программой fennolit") + "\" />\r"
         "<meta name=\"keywords\" content=\"" + A(L"fennolit fennolit список файлов") + "\" />\r"
         "<title>" + lowerTitle + "</title>\r"
         "<style type=\"text/css\"> body {} .rdl { color: red; }\r.blk { color: black; }\r"
         ".lin ( size: -1; face = arial; }\r</style>\r</head>\r"
         "<body text='#000000' link='#000080' vlink='#800000' bgcolor=\"white\">\r" +
         crumbs + "\r<pre>  " + A(L"Имя файла") + Sp(21) + A(L"Размер, Кбайт") + Sp(15) + A(L"Создан") + Sp(17) +
         A(L"Изменён") + Sp(6) + A(L"Атрибуты") + Sp(12) + A(L"Комментарии") + " </pre>\r";
}

const std::string Foot = "<hr noshade>\r<span class = \"lin\"> <i>\r<center>" + A(L"Список создан программой") +
                         " <a href=\"http://www.fennolit.example/ru/products/fennolit/\" class=\"nounderline\">"
                         "Fennolit.</a></center>\r</i></span>\r<br>\r</body>\r</html>";

TEST(HtmlPieces, BreadcrumbsHeadAndFoot) {
  THtmlTexts texts = THtmlTexts::From(*std::make_unique<ExportHost>());
  EXPECT_EQ(WriteUpLinks("", "T"), "<pre></pre>");
  EXPECT_EQ(WriteUpLinks("/A", "T"), "<pre><a href=\"../index.html\">T</a>/A</pre>");
  EXPECT_EQ(WriteUpLinks("/A/B", "T"),
            "<pre><a href=\"../../index.html\">T</a>/<a href=\"../index.html\">A</a>/B</pre>");
  EXPECT_EQ(WriteUpLinks("/A/B/C", "T&U"),
            "<pre><a href=\"../../../index.html\">T&amp;U</a>/<a href=\"../../index.html\">A</a>/"
            "<a href=\"../index.html\">B</a>/C</pre>");
  EXPECT_EQ(WriteHtmlHead(Title + A(L"/Доки"), A(L"/Доки"), Title, texts).str(),
            Head(A(L"мой список/доки"), "<pre><a href=\"../index.html\">" + Title + "</a>/" + A(L"Доки") + "</pre>"));
  EXPECT_EQ(WriteHtmlFoot(texts).str(), Foot);
}

// Pictures as the site needs them: a 16x16 JPEG per type, the spelling of
// the first name met kept (as a case-insensitive file system does).
class JpegPictures : public IHtmlPictures {
public:
  AnsiString PictureFor(const AnsiString& name, const AnsiString& folder) override {
    ++Calls;
    AnsiString type = ExtractFileExt(name);
    if (type.IsEmpty()) return FolderPicture(folder);
    type.Delete(1, 1);
    if (type == Unwritten) return type + ".jpg";
    return Write(type + ".jpg", folder);
  }
  AnsiString FolderPicture(const AnsiString& folder) override { return Write("open.jpg", folder); }
  AnsiString DefaultPicture(const AnsiString& folder) override { return Write("def.jpg", folder); }

  int Calls = 0;
  AnsiString Unwritten = "never";

private:
  AnsiString Write(const AnsiString& name, const AnsiString& folder) {
    const WideString path = AnsiToWide(folder + "\\" + name);
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return name;
    TBitmap bitmap;
    bitmap.SetSize(16, 16);
    bitmap.Canvas()->Brush()->SetColor(clRed);
    bitmap.Canvas()->FillRect(TRect(0, 0, 16, 16));
    TJPEGImage jpeg;
    jpeg.Assign(&bitmap);
    TMemoryStream stream;
    jpeg.SaveToStream(&stream);
    const std::string bytes(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
    WriteFileBytes(path.str(), bytes);
    return name;
  }
};

struct Site {
  ExportHost host;
  JpegPictures pictures;
  CountingSteps steps;
  TempDir dir;
  std::string Root() const { return dir.File("site.html"); }
  std::string Target() const { return "\\\\?\\" + Root(); }
  TWriteResult Write(const TestList& list, const std::string& baseUrl = "") {
    THtmlSiteWriter writer(host, pictures, steps);
    return writer.ExportToHtmlSite(list.Root(), AnsiString(Target()), AnsiString(baseUrl), AnsiString(Title));
  }
  std::string Page(const std::string& folder) const {
    return Contents(folder.empty() ? Root() + "\\index.html" : Root() + "\\" + folder + "\\index.html");
  }
};

std::string Columns(const std::string& size, const std::string& letters = "", const std::string& comment = "") {
  return PadLeft(AnsiString(size), 12).str() + Sp(48) + PadLeft(AnsiString(letters), 10).str() +
         PadLeft(AnsiString(comment), 30).str();
}

TEST(HtmlSite, PagesOfAHandBuiltTreeByteForByte) {
  TestList list;
  ListNode* a = list.File("a.txt", 1536);
  a->Attributes = eaReadOnly | eaArchive;
  ListNode* doc = list.Folder("Doc");
  list.File("b.txt", 0, doc)->Attributes = DamagedBit;
  list.File("A.txt", 0, doc);
  Site site;
  ASSERT_EQ(site.Write(list), TWriteResult::Done);
  EXPECT_EQ(site.steps.Steps, 4);
  EXPECT_EQ(site.Page(""),
            Head(A(L"мой список"), "<pre></pre>") +
                "<pre><a href=\"Doc/index.html\"><img border=\"0\" src=\"open.jpg\">Doc</a>" + Sp(27) +
                Columns("1") + "</pre>\r\r" + "<pre><img src=\"txt.jpg\"><span class=\"blk\">a.txt" + Sp(25) +
                Columns("2", "AR") + "</span></pre>\r" + Foot);
  EXPECT_EQ(site.Page("Doc"),
            Head(A(L"мой список/doc"), "<pre><a href=\"../index.html\">" + Title + "</a>/Doc</pre>") +
                "<pre><a href=\"../index.html\">...</a></pre>\r\r" +
                "<pre><img src=\"../txt.jpg\"><span class=\"blk\">A.txt" + Sp(25) + Columns("1") +
                "</span></pre>\r" + "<pre><img src=\"../txt.jpg\"><span class = \"rdl\">b.txt" + Sp(25) +
                Columns("1", "E") + "</span></pre>\r" + Foot);
  for (const char* picture : {"open.jpg", "txt.jpg"}) EXPECT_EQ(JpegFrame(site.Root() + "\\" + picture), "16x16/3");
}

TEST(HtmlSite, BaseUrlLinksNestInsideTheEntrysSpan) {
  TestList list;
  ListNode* docs = list.Folder("Docs");
  list.File("b.txt", 0, docs)->Attributes = DamagedBit;
  list.File(std::string(33, 'n') + ".txt", 0, docs);
  Site site;
  ASSERT_EQ(site.Write(list, "http://h/f/"), TWriteResult::Done);
  const std::string page = site.Page("Docs");
  EXPECT_NE(page.find("<pre><span class = \"rdl\"><a href=\"http://h/f/Docs/b.txt\"><img border=\"0\" "
                      "src=\"../txt.jpg\">b.txt</a>" + Sp(25) + Columns("1", "E") + "</span></pre>\r"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find(std::string(33, 'n') + ".txt</a>" + Columns("1")), std::string::npos) << "long names whole";

  Site twice;
  ASSERT_EQ(twice.Write(list, "x//"), TWriteResult::Done);
  EXPECT_NE(twice.Page("Docs").find("<a href=\"x//Docs/b.txt\">"), std::string::npos) << "one slash removed";
}

TEST(HtmlSite, LongNamesAndMarkupInNames) {
  TestList list;
  list.File(std::string(40, 'L') + ".txt");
  list.File("a<b>&c.txt");
  SetText(list.File("q\"=>.txt")->Modified, "<1&2>\"");
  SetComment(list.File("c.txt"), "<i>");
  SetComment(list.File("d.txt"), std::string(29, 'k') + "&&");
  list.File("x.txt", 0, list.Folder("50% #1"));
  Site site;
  ASSERT_EQ(site.Write(list), TWriteResult::Done);
  const std::string page = site.Page("");
  EXPECT_NE(page.find(std::string(40, 'L') + ".txt" + Columns("1")), std::string::npos) << "not cut at 30";
  EXPECT_NE(page.find("a&lt;b&gt;&amp;c.txt" + Sp(20) + Columns("1")), std::string::npos);
  std::string quoted = Columns("1");
  quoted.replace(12 + 24, 24, Sp(18) + "&lt;1&amp;2&gt;&quot;");
  EXPECT_NE(page.find("q&quot;=&gt;.txt" + Sp(22) + quoted), std::string::npos);
  std::string comment = Columns("1", "", "<i>");
  comment.replace(comment.size() - 3, 3, "&lt;i&gt;");
  EXPECT_NE(page.find(comment), std::string::npos) << "aligned as the text shows, escaped after";
  EXPECT_NE(page.find("<a href=\"50%25%20%231/index.html\">"), std::string::npos);
  // A column is cut to its width before escaping: no reference is cut apart.
  std::string cut = Columns("1", "", std::string(29, 'k') + "&");
  cut.replace(cut.size() - 1, 1, "&amp;");
  EXPECT_NE(page.find("d.txt" + Sp(25) + cut + "</span></pre>\r"), std::string::npos);
  EXPECT_EQ(Contents(site.Root() + "\\50% #1\\index.html").substr(0, 2), " <");
}

TEST(HtmlSite, EveryPageHoldsOnlyItsOwnLines) {
  // Pages of one depth share their working room: none may keep another's
  // lines, and a writer used again writes the same pages.
  TestList list;
  ListNode* a = list.Folder("A");
  list.File("a1.txt", 0, a);
  list.File("a2.dat", 0, a)->Attributes = DamagedBit;
  list.File("s.txt", 0, list.Folder("S", a));
  list.File("b1.txt", 0, list.Folder("B"));
  list.File("top.txt");
  const struct {
    const char* folder;
    size_t lines;
    const char* last;
  } pages[] = {{"", 3, "top.txt"}, {"A", 3, "S</a>"}, {"A\\S", 1, "s.txt"}, {"B", 1, "b1.txt"}};
  Site site;
  THtmlSiteWriter writer(site.host, site.pictures, site.steps);
  std::vector<std::string> first;
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(writer.ExportToHtmlSite(list.Root(), AnsiString(site.Target()), "", AnsiString(Title)),
              TWriteResult::Done);
    for (size_t i = 0; i < std::size(pages); ++i) {
      const std::string page = site.Page(pages[i].folder);
      size_t lines = 0;
      for (size_t at = page.find("<img"); at != std::string::npos; at = page.find("<img", at + 1)) ++lines;
      EXPECT_EQ(lines, pages[i].lines) << pages[i].folder;
      EXPECT_NE(page.find(pages[i].last), std::string::npos) << pages[i].folder;
      if (round == 0) first.push_back(page);
      else EXPECT_EQ(page, first[i]) << pages[i].folder;
    }
  }
}

TEST(HtmlSite, SiblingFoldersNeverShareADiskFolder) {
  TestList list;
  const std::vector<std::pair<std::wstring, std::string>> folders = {
      {L"Документы", "D_o_k_u_m_e_n_t_y_"}, {L"Хор", "Ch_o_r_"},       {L"Чор", "Ch_o_r__2"},
      {L"Щор", "Ch_o_r__3"},                {L"Data", "Data"},          {L"data", "data_2"},
      {L"index.html", "index.html_2"},      {L"open.jpg", "open.jpg_2"}, {L"txt.jpg", "txt.jpg_2"},
  };
  for (const auto& f : folders) list.File("in.txt", 0, list.Folder(A(f.first.c_str())));
  list.File("top.txt");
  Site site;
  ASSERT_EQ(site.Write(list), TWriteResult::Done);
  const std::string root = site.Page("");
  for (const auto& f : folders) {
    const std::string page = site.Page(f.second);
    // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    EXPECT_NE(page.find("/" + A(f.first.c_str()) + "</pre>"), std::string::npos) << f.second << " is its own page";
#pragma GCC diagnostic pop
    EXPECT_NE(root.find("<a href=\"" + UrlEncodePath(f.second) + "/index.html\">"), std::string::npos) << f.second;
  }
  EXPECT_EQ(JpegFrame(site.Root() + "\\open.jpg"), "16x16/3");
  EXPECT_EQ(JpegFrame(site.Root() + "\\txt.jpg"), "16x16/3");
}

TEST(HtmlSite, PicturesAreLinkedUnderTheSpellingOnDisk) {
  TestList list;
  list.File("a.TXT");
  list.File("b.txt");
  list.File("c.never");
  Site site;
  ASSERT_EQ(site.Write(list), TWriteResult::Done);
  const std::string page = site.Page("");
  EXPECT_NE(page.find("src=\"TXT.jpg\"><span class=\"blk\">b.txt"), std::string::npos) << "one file, one spelling";
  EXPECT_EQ(page.find("src=\"txt.jpg\""), std::string::npos);
  EXPECT_NE(page.find("src=\"def.jpg\"><span class=\"blk\">c.never"), std::string::npos)
      << "a picture that was not written is replaced by the default one";
  EXPECT_EQ(JpegFrame(site.Root() + "\\def.jpg"), "16x16/3");
}

TEST(HtmlSite, CancelStopsAfterTheCurrentEntryAndClosesEveryPage) {
  TestList list;
  ListNode* deep = list.Folder("A");
  deep = list.Folder("B", deep);
  // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
  for (int i = 0; i < 20; ++i) list.File("f" + std::to_string(i) + ".txt", 0, deep);
#pragma GCC diagnostic pop
  list.File("z.txt");
  Site site;
  site.steps.CancelAfter = 5;
  EXPECT_EQ(site.Write(list), TWriteResult::Cancelled);
  EXPECT_EQ(site.steps.Steps, 5);
  // Closed pages can be opened by nobody else only while they are open.
  for (const char* page : {"index.html", "A\\index.html", "A\\B\\index.html"}) {
    HANDLE h = CreateFileA((site.Root() + "\\" + page).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << page << " left open";
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  EXPECT_TRUE(site.host.Shown.empty());
}

TEST(HtmlSite, AFolderThatCannotBeMadeEndsTheExportWithItsMessages) {
  TestList list;
  ListNode* a = list.Folder("A");
  list.File("x.txt", 0, list.Folder("B", a));
  list.Folder("C");
  Site site;
  CreateDirectoryA(site.Root().c_str(), nullptr);
  CreateDirectoryA((site.Root() + "\\A").c_str(), nullptr);
  WriteFileBytes(site.Root() + "\\A\\B", "a file where the folder should go");
  EXPECT_EQ(site.Write(list), TWriteResult::Failed);
  // One message: the failure, the page being written and the root page,
  // the paths as the user knows them, without the long-path prefix.
  EXPECT_EQ(site.host.Shown,
            (std::vector<std::string>{A(L"Невозможно создать ") + site.Root() + "\\A\\B " + A(L"каталог") +
                                      "\n\npath = " + site.Root() + "\\A\ntreePath = /A" +
                                      "\n\npath = " + site.Root() + "\ntreePath = "}));
  EXPECT_EQ(GetFileAttributesA((site.Root() + "\\C").c_str()), INVALID_FILE_ATTRIBUTES) << "the export ended";
}

TEST(HtmlSite, APageThatCannotBeMadeIsSkippedAndTheExportGoesOn) {
  // Its file cannot be made (a folder stands there), or takes no byte of its
  // head (a disk that is full).
  const struct {
    const char* how;
    std::function<void(const std::string& page)> block;
    std::string error;
  } cases[] = {
      {"folder", [](const std::string& page) { CreateDirectoryA(page.c_str(), nullptr); }, ""},
      {"full",
       [](const std::string& page) { ASSERT_EQ(RunUnix("ln -s /dev/full " + Q(UnixPath(page))), 0); },
       SysErrorMessage(ERROR_DISK_FULL).str()},
  };
  for (const auto& c : cases) {
    TestList list;
    list.File("x.txt", 0, list.Folder("A"));
    list.File("y.txt", 0, list.Folder("B"));
    Site site;
    CreateDirectoryA(site.Root().c_str(), nullptr);
    CreateDirectoryA((site.Root() + "\\A").c_str(), nullptr);
    c.block(site.Root() + "\\A\\index.html");
    EXPECT_EQ(site.Write(list), TWriteResult::Failed) << c.how;
    ASSERT_EQ(site.host.Shown.size(), 1u) << c.how;
    EXPECT_EQ(site.host.Shown[0].rfind(A(L"Файл не найден: ") + c.error, 0), 0u) << site.host.Shown[0];
    EXPECT_NE(site.Page("B").find("y.txt"), std::string::npos) << "the next folder still gets its page";
    EXPECT_NE(site.Page("").find(Foot), std::string::npos) << c.how;
  }
}

const char* const LinkCheck = R"(
import os, sys
from html.parser import HTMLParser
root = sys.argv[1]
class Links(HTMLParser):
    def __init__(self):
        super().__init__()
        self.refs = []
    def handle_starttag(self, tag, attrs):
        for k, v in attrs:
            if k in ('href', 'src') and v is not None:
                self.refs.append(v)
from urllib.parse import unquote
pages = bad = refs = 0
for folder, dirs, files in os.walk(root):
    for f in files:
        if f != 'index.html':
            continue
        pages += 1
        data = open(os.path.join(folder, f), 'rb').read()
        if b'\r\n' in data or b'\n' in data:
            print('line ends other than CR in', folder)
        p = Links()
        p.feed(data.decode('cp1251'))
        for ref in p.refs:
            if ref.startswith('http'):
                continue
            refs += 1
            target = os.path.normpath(os.path.join(folder, unquote(ref)))
            if os.path.basename(target) not in os.listdir(os.path.dirname(target)):
                bad += 1
                print('broken', folder, ref)
print('pages', pages, 'refs', refs, 'broken', bad)
)";

TEST(HtmlSite, EveryLinkAndPictureResolvesForPythonAndTheBrowser) {
  TestList list;
  ListNode* docs = list.Folder(A(L"Документы"));
  list.File(A(L"Отчёт.DOC"), 5000, docs);
  ListNode* deep = list.Folder(A(L"Хор"), docs);
  list.File("deep.txt", 0, deep)->Attributes = DamagedBit;
  list.File("a.TXT", 0, list.Folder(A(L"Чор"), docs));
  list.File("b.txt", 0, list.Folder("50% #1"));
  list.File("noext");
  Site site;
  ASSERT_EQ(site.Write(list), TWriteResult::Done);
  std::string output;
  ASSERT_EQ(RunPython(LinkCheck, Q(UnixPath(site.Root())), &output), 0) << output;
  EXPECT_EQ(output, "pages 5 refs 23 broken 0\n");

  const std::string page = UnixPath(site.Root() + "\\D_o_k_u_m_e_n_t_y_\\Ch_o_r_\\index.html");
  const std::string profile = UnixPath(site.dir.File("profile"));
  std::string dom;
  const int rc = RunUnix("timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                         "--disable-background-networking --disable-component-update --disable-sync "
                         "--user-data-dir=" + Q(profile) + " --dump-dom " + Q("file://" + page) + " 2>/dev/null",
                         &dom);
  ASSERT_EQ(rc, 0) << dom;
  // Read as windows-1251: the Cyrillic title and breadcrumb come out whole.
  EXPECT_NE(dom.find(WideToAnsi(L"<title>мой список/документы/хор</title>", CP_UTF8).str()), std::string::npos) << dom;
  EXPECT_NE(dom.find(WideToAnsi(L">Документы</a>/Хор</pre>", CP_UTF8).str()), std::string::npos) << dom;
  EXPECT_NE(dom.find("<span class=\"rdl\">deep.txt"), std::string::npos) << dom;
}

// --- any depth, names from any list, failures said ---------------------------------------------

// Runs the export with about 160 KiB of stack left: some 60 levels of a
// writer that calls itself per folder level (about 2.7 KB each), so only a
// writer that keeps its pages on a stack of its own gets through a deeper
// list.
struct SmallStackJob {
  Site* site;
  const TestList* list;
  TWriteResult result = TWriteResult::Failed;
  size_t stackLeft = 0;
};

constexpr size_t SmallStack = 160 * 1024;

DWORD WINAPI RunSmallStackJob(void* p) {
  SmallStackJob& j = *static_cast<SmallStackJob*>(p);
  MEMORY_BASIC_INFORMATION stack{};
  VirtualQuery(&stack, &stack, sizeof stack);
  const char* bottom = static_cast<const char*>(stack.AllocationBase);
  const size_t left = reinterpret_cast<const char*>(&stack) - bottom;
  // The system gives a thread 1 MiB at least: the rest is taken here.
  volatile char* taken = static_cast<volatile char*>(_alloca(left > SmallStack ? left - SmallStack : 0));
  taken[0] = 0;
  j.stackLeft = const_cast<const char*>(taken) - bottom;
  j.result = j.site->Write(*j.list);
  return 0;
}

TWriteResult WriteOnSmallStack(Site& site, const TestList& list) {
  SmallStackJob job{&site, &list};
  HANDLE thread = CreateThread(nullptr, 0, RunSmallStackJob, &job, 0, nullptr);
  EXPECT_NE(thread, nullptr);
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  EXPECT_LE(job.stackLeft, SmallStack + 4096) << "the stack is not small";
  return job.result;
}

// A chain of folders, each with one file: "d", "ж", "d", ...
void MakeChain(TestList& list, int depth) {
  ListNode* folder = list.Root();
  for (int level = 1; level <= depth; ++level) {
    folder = list.Folder(level % 2 ? "d" : A(L"ж"), folder);
    // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    list.File("f" + std::to_string(level) + ".txt", 0, folder);
#pragma GCC diagnostic pop
  }
}

std::string ChainFolder(int level) { return level % 2 ? "d" : "zh_"; }

TEST(HtmlSiteDepth, AChainDeeperThanTheStackHasEveryPageWholeAndLinked) {
  // Every page's breadcrumb line links to every page above it: the site
  // grows with the cube of the depth.
  constexpr int Depth = 200;
  TestList list;
  MakeChain(list, Depth);
  Site site;
  ASSERT_EQ(WriteOnSmallStack(site, list), TWriteResult::Done);
  EXPECT_TRUE(site.host.Shown.empty());
  EXPECT_EQ(site.steps.Steps, 2 * Depth);
  std::string folder = site.Root();
  for (int level = 0; level <= Depth; ++level) {
    // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    if (level > 0) folder += "\\" + ChainFolder(level);
#pragma GCC diagnostic pop
    const std::string page = Contents(folder + "\\index.html");
    ASSERT_GE(page.size(), Foot.size()) << level;
    ASSERT_EQ(page.substr(page.size() - Foot.size()), Foot) << level;
    if (level > 0) {
      ASSERT_NE(page.find(">f" + std::to_string(level) + ".txt "), std::string::npos) << level;
    }
    if (level < Depth) {
      ASSERT_NE(page.find("<a href=\"" + UrlEncodePath(ChainFolder(level + 1)) + "/index.html\">"), std::string::npos)
          << level;
    }
  }
  std::string output;
  ASSERT_EQ(RunPython(LinkCheck, Q(UnixPath(site.Root())), &output), 0) << output;
  EXPECT_NE(output.find("pages " + std::to_string(Depth + 1) + " "), std::string::npos) << output;
  EXPECT_NE(output.find(" broken 0\n"), std::string::npos) << output;
}

TEST(HtmlSiteDepth, AListOf20000LevelsEndsWithTheFirstFolderTheDiskCannotHold) {
  // Names of 100 characters: the disk's path limit comes long before the
  // list's end, and the walk there is as deep as the system allows.
  constexpr int Depth = 20000;
  TestList list;
  ListNode* folder = list.Root();
  for (int level = 1; level <= Depth; ++level) folder = list.Folder(std::string(100, 'a' + level % 26), folder);
  Site site;
  ASSERT_EQ(WriteOnSmallStack(site, list), TWriteResult::Failed);
  ASSERT_FALSE(site.host.Shown.empty());
  for (const std::string& m : site.host.Shown) EXPECT_EQ(m.find("\\\\?\\"), std::string::npos) << m;
  // The pages are there down to the first folder or page the disk could not
  // hold, and that one is the failure reported first.
  auto levelPath = [&](int level) {
    std::string path = site.Root();
    for (int l = 1; l <= level; ++l) path += "\\" + std::string(100, 'a' + l % 26);
    return path;
  };
  int made = 0;
  auto pageOf = [&](int level) { return "\\\\?\\" + levelPath(level) + "\\index.html"; };
  while (made <= Depth && GetFileAttributesW(AnsiToWide(AnsiString(pageOf(made))).c_str()) != INVALID_FILE_ATTRIBUTES)
    ++made;
  EXPECT_GE(made, 5);
  const std::string first = site.host.Shown[0];
  if (first.rfind(A(L"Невозможно создать "), 0) == 0) {
    // The export ended there, however many pages were open: one message,
    // with the deepest page and the root page.
    std::string treePath;
    for (int l = 1; l < made; ++l) treePath += "/" + std::string(100, 'a' + l % 26);
    EXPECT_EQ(site.host.Shown, (std::vector<std::string>{A(L"Невозможно создать ") + levelPath(made) + " " +
                                                         A(L"каталог") + "\n\npath = " + levelPath(made - 1) +
                                                         "\ntreePath = " + treePath + "\n\npath = " + site.Root() +
                                                         "\ntreePath = "}));
  } else {
    // The folder was made and its page refused: the pages above end whole.
    EXPECT_EQ(first.rfind(A(L"Файл не найден: "), 0), 0u) << first;
    EXPECT_EQ(site.host.Shown.size(), 1u);
    for (int level = 0; level < made; ++level)
      EXPECT_NE(Contents(pageOf(level)).find(Foot), std::string::npos) << level;
  }
}

TEST(HtmlSiteNames, DiskNamesStayInsideTheParent) {
  const struct {
    const char* name;
    const char* disk;
  } cases[] = {
      {"..", ".._"},         {".", "._"},           {"a\\..\\..\\esc", "a_.._.._esc"},
      {"b/c", "b_c"},        {"d:e", "d_e"},        {"trail.", "trail._"},
      {"blank ", "blank _"}, {"", "_"},             {"CON", "CON_"},
      {"con.txt", "con_.txt"}, {"Nul.a.b", "Nul_.a.b"}, {"LPT1", "LPT1_"},
      {"com9.x", "com9_.x"}, {"COM0", "COM0"},      {"console", "console"},
      {"x<y>|*\"z", "x_y____z"}, {"t\tab", "t_ab"}, {"a?b", "a__b"},
      {"LPT", "LPT"},        {"aux .txt", "aux_ .txt"}, {"Data", "Data"},
  };
  for (const auto& c : cases) EXPECT_EQ(SiteFolderName(AnsiString(c.name), 255), c.disk) << c.name;
  EXPECT_EQ(SiteFolderName(AnsiString(A(L"Хор.")), 255), "Ch_o_r_._");
}

TEST(HtmlSiteNames, SiblingsKeepTheirOwnNamesAndSuffixesSkipEveryTakenOne) {
  auto none = [](const std::string&) { return false; };
  const struct {
    std::vector<std::string> names;
    std::vector<std::string> disk;
  } cases[] = {
      {{A(L"Хор"), A(L"хор"), A(L"Чор"), "Ch_o_r__2"}, {"Ch_o_r_", "ch_o_r__3", "Ch_o_r__4", "Ch_o_r__2"}},
      {{"a", "A", "a_2", "A_3"}, {"a", "A_4", "a_2", "A_3"}},
      {{"x", "x", "x", "X_2"}, {"x", "x_3", "x_4", "X_2"}},
      {{"..", ".._", "."}, {".._", "..__2", "._"}},
      {{"CON", "con_"}, {"CON_", "con__2"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string_view> views(c.names.begin(), c.names.end());
    EXPECT_EQ(SiblingFolderNames(views, none, 255), c.disk) << c.names[0];
  }
  std::vector<std::string_view> reservedOnes{"index.html", "Index.HTML_2", "p.jpg"};
  EXPECT_EQ(SiblingFolderNames(
                reservedOnes, [](const std::string& lower) { return lower == "index.html" || lower == "p.jpg"; },
                255),
            (std::vector<std::string>{"index.html_3", "Index.HTML_2", "p.jpg_2"}));
}

std::string Times(const std::string& text, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += text;
  return r;
}

TEST(HtmlSiteNames, ANameTooLongForTheDiskKeepsItsStart) {
  const struct {
    std::string name;
    size_t longest;
    std::string disk;
  } cases[] = {
      {Times(A(L"Щ"), 85), 255, Times("Ch_", 85)},
      {Times(A(L"Щ"), 86), 255, Times("Ch_", 85)},
      {std::string(256, 'L'), 255, std::string(255, 'L')},
      // A cut that ends in a dot has no room for the "_" after it.
      {"abc.defg", 4, "abc"},
      {"con.txtx", 5, "con_"},
      // The disk counts "№" as three bytes of UTF-8: cut between characters.
      {A(L"a№№"), 6, A(L"a№")},
      // Past a string's inline buffer: counted from a string that is still alive.
      {A(L"a") + Times(A(L"№"), 100), 255, A(L"a") + Times(A(L"№"), 84)},
  };
  for (const auto& c : cases) EXPECT_EQ(SiteFolderName(AnsiString(c.name), c.longest), c.disk) << c.name;
  // Equal once cut: the suffix takes the place of the last characters.
  const std::vector<std::string_view> siblings{"abcdefX", "abcdefY", "abcd_2"};
  EXPECT_EQ(SiblingFolderNames(siblings, [](const std::string&) { return false; }, 6),
            (std::vector<std::string>{"abcdef", "abcd_3", "abcd_2"}));
}

// A site of a folder of each name, each holding a file and a folder of its
// own name with a file (whose links lead up through the name): written
// whole, with no message. What the link check says of it.
std::string WriteFoldersTwoDeep(Site& site, const std::vector<std::string>& names) {
  TestList list;
  for (const std::string& name : names) {
    ListNode* folder = list.Folder(name);
    list.File("in.txt", 0, folder);
    list.File("deeper.txt", 0, list.Folder(name, folder));
  }
  EXPECT_EQ(site.Write(list), TWriteResult::Done);
  EXPECT_TRUE(site.host.Shown.empty());
  std::string output;
  EXPECT_EQ(RunPython(LinkCheck, Q(UnixPath(site.Root())), &output), 0) << output;
  return output;
}

TEST(HtmlSiteNames, ACraftedListWritesItsWholeSiteInsideTheSiteFolder) {
  const std::vector<std::string> crafted = {"..",     ".",   "a\\..\\..\\esc", "b/c",  "d:e", "trail.",
                                            "blank ", "CON", "con.txt",        "LPT1", "x<y>"};
  Site site;
  std::string output = WriteFoldersTwoDeep(site, crafted);
  EXPECT_NE(output.find(" broken 0\n"), std::string::npos) << output;
  // Nothing was written beside the site folder.
  ASSERT_EQ(RunUnix("ls -A " + Q(UnixPath(site.dir.File(""))), &output), 0);
  EXPECT_EQ(output, "site.html\n");
  const char* const check = R"(
import os, sys
root = os.path.realpath(sys.argv[1])
pages = 0
for folder, dirs, files in os.walk(root):
    for f in files:
        if not os.path.realpath(os.path.join(folder, f)).startswith(root + os.sep):
            print('outside', folder, f)
    pages += 'index.html' in files
print('pages', pages)
)";
  ASSERT_EQ(RunPython(check, Q(UnixPath(site.Root())), &output), 0) << output;
  EXPECT_EQ(output, "pages " + std::to_string(1 + 2 * crafted.size()) + "\n");
  // The pages show the real names, in the head's title and breadcrumb line.
  const std::string escapePage = site.Page("a_.._.._esc\\a_.._.._esc");
  EXPECT_NE(escapePage.find("<pre><a href=\"../../index.html\">" + Title + "</a>/<a href=\"../index.html\">"
                            "a\\..\\..\\esc</a>/a\\..\\..\\esc</pre>"),
            std::string::npos)
      << escapePage;
  EXPECT_NE(site.Page("").find("<a href=\"b_c/index.html\"><img border=\"0\" src=\"open.jpg\">b/c</a>"),
            std::string::npos);
  EXPECT_NE(site.Page("b_c\\b_c").find("<a href=\"../index.html\">b/c</a>/b/c</pre>"), std::string::npos);
  EXPECT_NE(site.Page("x_y_").find("/x&lt;y&gt;</pre>"), std::string::npos);
}

TEST(HtmlSiteNames, FolderNamesTooLongForTheDiskStillGetTheirPages) {
  // 90 "Щ" transliterate to 270 characters, past the 255 a name may hold;
  // 255 Latin letters fit exactly; two names equal in their first 255
  // characters of transliteration are kept apart.
  const std::string sha90 = Times(A(L"Щ"), 90);
  const std::vector<std::string> names = {sha90, std::string(255, 'L'), sha90 + "1", sha90 + "2"};
  Site site;
  std::string output = WriteFoldersTwoDeep(site, names);
  EXPECT_EQ(output, "pages 9 refs 44 broken 0\n");
  // The pages show the real names, in the parent's line and in their own
  // title and breadcrumb line.
  const std::string root = site.Page("");
  for (const std::string& name : names) EXPECT_NE(root.find("open.jpg\">" + name + "</a>"), std::string::npos) << name;
  const char* const longest = R"(
import os, sys
print(max(len(n.encode()) for _, dirs, _ in os.walk(sys.argv[1]) for n in dirs))
)";
  ASSERT_EQ(RunPython(longest, Q(UnixPath(site.Root())), &output), 0) << output;
  EXPECT_EQ(output, "255\n");
  const std::string cut = Times("Ch_", 85);
  const std::string deep = site.Page(cut + "\\" + cut);
  EXPECT_NE(deep.find("<a href=\"../index.html\">" + sha90 + "</a>/" + sha90 + "</pre>"), std::string::npos);
  EXPECT_NE(deep.find(">deeper.txt"), std::string::npos);
}

TEST(HtmlSiteFailures, ATargetThatCannotBeMadeIsTheOneFailureReported) {
  TestList list;
  list.File("x.txt", 0, list.Folder("A"));
  Site site;
  // Below a file: no folder can be made there.
  WriteFileBytes(site.dir.File("plain"), "a file");
  THtmlSiteWriter writer(site.host, site.pictures, site.steps);
  const std::string root = site.dir.File("plain") + "\\site";
  EXPECT_EQ(writer.ExportToHtmlSite(list.Root(), AnsiString("\\\\?\\" + root), "", AnsiString(Title)),
            TWriteResult::Failed);
  EXPECT_EQ(site.host.Shown, (std::vector<std::string>{A(L"Невозможно создать ") + root + " " + A(L"каталог")}));
}

// Pictures that can turn a page into a file that takes no bytes ("disk full")
// while the site is written: when the picture of `trigger` is asked for.
class FillingPictures : public JpegPictures {
public:
  AnsiString PictureFor(const AnsiString& name, const AnsiString& folder) override {
    if (name == Trigger) RunUnix("ln -sf /dev/full " + Q(UnixPath(Page)));
    return JpegPictures::PictureFor(name, folder);
  }
  std::string Trigger, Page;
};

TEST(HtmlSiteFailures, APageWhoseLinesCannotBeWrittenEndsTheExportWithMessage36) {
  const std::string disk = SysErrorMessage(ERROR_DISK_FULL).str();
  {
    // A page whose lines cannot be written once its sub-folders' pages are:
    // message 36 with the part not written, then every open page.
    TestList list;
    ListNode* a = list.Folder("A");
    list.File("x.hook", 0, list.Folder("B", a));
    list.File("top.txt");
    Site site;
    FillingPictures pictures;
    pictures.Trigger = "x.hook";
    pictures.Page = site.Root() + "\\A\\index.html";
    THtmlSiteWriter writer(site.host, pictures, site.steps);
    EXPECT_EQ(writer.ExportToHtmlSite(list.Root(), AnsiString(site.Target()), "", AnsiString(Title)),
              TWriteResult::Failed);
    // The message names the page already; the root page follows it.
    EXPECT_EQ(site.host.Shown, (std::vector<std::string>{A(L"Ошибка записи в файл") + " (write about dirs).\npath = " +
                                                         site.Root() + "\\A\ntreePath = /A\n" + disk +
                                                         "\n\npath = " + site.Root() + "\ntreePath = "}));
    EXPECT_NE(site.Page("A\\B").find(Foot), std::string::npos) << "the pages written stay";
  }
}

TEST(HtmlSitePictures, OneLookUpPerTypeDecidedByTheExtensionAlone) {
  TestList list;
  for (const char* name : {"unicode.txt", "Mexico.doc", "a.txt", "b.DOC", "icons.txt", "x.exe", "y.EXE", "i.ico",
                           "exe", "noext"})
    list.File(name);
  Site site;
  ASSERT_EQ(site.Write(list), TWriteResult::Done);
  // txt, doc and the names without extension once each; every program and
  // icon file on its own.
  EXPECT_EQ(site.pictures.Calls, 3 + 3);
  EXPECT_NE(site.Page("").find("src=\"txt.jpg\"><span class=\"blk\">unicode.txt"), std::string::npos);
  EXPECT_NE(site.Page("").find("src=\"doc.jpg\"><span class=\"blk\">b.DOC"), std::string::npos);
}

// Pictures whose folder picture has a name of its own, and whose picture
// of one type cannot be written.
class RefusingPictures : public JpegPictures {
public:
  AnsiString PictureFor(const AnsiString& name, const AnsiString& folder) override {
    if (ExtractFileExt(name) == ".bad")
      throw EHtmlPictureNotWritten(folder + "\\bad.jpg", ERROR_ACCESS_DENIED);
    return JpegPictures::PictureFor(name, folder);
  }
  AnsiString FolderPicture(const AnsiString& folder) override { return DefaultPicture(folder); }
};

TEST(HtmlSitePictures, TheFolderPictureIsLinkedAsNamedAndAPictureNotWrittenEndsTheSite) {
  TestList list;
  ListNode* a = list.Folder("A");
  list.File("x.txt", 0, list.Folder("B", a));
  list.File("y.txt", 0, a);
  Site site;
  RefusingPictures pictures;
  THtmlSiteWriter writer(site.host, pictures, site.steps);
  ASSERT_EQ(writer.ExportToHtmlSite(list.Root(), AnsiString(site.Target()), "", AnsiString(Title)),
            TWriteResult::Done);
  EXPECT_NE(site.Page("A").find("<a href=\"B/index.html\"><img border=\"0\" src=\"../def.jpg\">B</a>"),
            std::string::npos)
      << site.Page("A");

  // A picture that cannot be written: said once, with its path and the
  // reason, and the pages open at the time; nothing after it is written.
  list.File("z.bad", 0, a);
  list.Folder("C");
  Site refused;
  THtmlSiteWriter second(refused.host, pictures, refused.steps);
  EXPECT_EQ(second.ExportToHtmlSite(list.Root(), AnsiString(refused.Target()), "", AnsiString(Title)),
            TWriteResult::Failed);
  EXPECT_EQ(refused.host.Shown,
            (std::vector<std::string>{A(L"Ошибка записи в файл: ") + refused.Root() + "\\bad.jpg\n" +
                                      SysErrorMessage(ERROR_ACCESS_DENIED).str() + "\n\npath = " + refused.Root() +
                                      "\\A\ntreePath = /A\n\npath = " + refused.Root() + "\ntreePath = "}));
  EXPECT_EQ(GetFileAttributesA((refused.Root() + "\\C").c_str()), INVALID_FILE_ATTRIBUTES) << "the export ended";
}

TEST(HtmlPieces, CharsetLabelsBrowsersKnow) {
  const struct {
    UINT cp;
    const char* label;
  } cases[] = {{1251, "windows-1251"}, {1252, "windows-1252"}, {1250, "windows-1250"}, {1258, "windows-1258"},
               {874, "windows-874"},   {CP_UTF8, "utf-8"},     {932, "shift_jis"},     {936, "gbk"},
               {949, "euc-kr"},        {950, "big5"}};
  std::string labels;
  for (const auto& c : cases) {
    EXPECT_EQ(HtmlCharsetLabel(c.cp), c.label) << c.cp;
    // Python names the Thai page cp874 only (browsers know windows-874).
    // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    if (c.cp != 874) labels += " " + HtmlCharsetLabel(c.cp);
#pragma GCC diagnostic pop
  }
  // Python's codec registry knows each label as the encoding meant.
  std::string output;
  ASSERT_EQ(RunPython("import codecs, sys\nprint(' '.join(codecs.lookup(l).name for l in sys.argv[1:]))", labels,
                      &output),
            0)
      << output;
  EXPECT_EQ(output, "cp1251 cp1252 cp1250 cp1258 utf-8 shift_jis gbk euc_kr big5\n");
}

TEST(HtmlSite, TheTitleDropsTheListsExtensionAtTheLastDot) {
  EXPECT_EQ(ExportBaseName("x.vqa.vq"), "x.vqa");
  TestList list;
  list.File("f.txt");
  Site site;
  THtmlSiteWriter writer(site.host, site.pictures, site.steps);
  ASSERT_EQ(writer.ExportToHtmlSite(list.Root(), AnsiString(site.Target()), "", ExportBaseName("x.vqa.vq")),
            TWriteResult::Done);
  EXPECT_NE(site.Page("").find("<title>x.vqa</title>"), std::string::npos);
}

}  // namespace
