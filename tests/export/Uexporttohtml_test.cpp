// The HTML site: its pieces byte for byte, whole pages of hand-built trees,
// disk names that never collide, escaping, cancel, failures, and real readers
// (every link and picture of every page resolves; every picture decodes).
#include <gtest/gtest.h>

#include <functional>
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
    EXPECT_NE(page.find("/" + A(f.first.c_str()) + "</pre>"), std::string::npos) << f.second << " is its own page";
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
  for (int i = 0; i < 20; ++i) list.File("f" + std::to_string(i) + ".txt", 0, deep);
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
  const std::string missing = A(L"Файл не найден");
  EXPECT_EQ(site.host.Shown,
            (std::vector<std::string>{A(L"Невозможно создать ") + site.Target() + "\\A\\B " + A(L"каталог"),
                                      missing + "\npath = " + site.Target() + "\\A\ntreePath = /A",
                                      missing + "\npath = " + site.Target() + "\ntreePath = "}));
  EXPECT_EQ(GetFileAttributesA((site.Root() + "\\C").c_str()), INVALID_FILE_ATTRIBUTES) << "the export ended";
}

TEST(HtmlSite, APageThatCannotBeMadeIsSkippedAndTheExportGoesOn) {
  TestList list;
  list.File("x.txt", 0, list.Folder("A"));
  list.File("y.txt", 0, list.Folder("B"));
  Site site;
  CreateDirectoryA(site.Root().c_str(), nullptr);
  CreateDirectoryA((site.Root() + "\\A").c_str(), nullptr);
  CreateDirectoryA((site.Root() + "\\A\\index.html").c_str(), nullptr);
  EXPECT_EQ(site.Write(list), TWriteResult::Failed);
  ASSERT_EQ(site.host.Shown.size(), 1u);
  EXPECT_EQ(site.host.Shown[0].rfind(A(L"Файл не найден: "), 0), 0u) << site.host.Shown[0];
  EXPECT_NE(site.Page("B").find("y.txt"), std::string::npos) << "the next folder still gets its page";
  EXPECT_NE(site.Page("").find(Foot), std::string::npos);
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

}  // namespace
