#include "Uexporttohtml.h"

#include <unordered_set>

#include "Usorter.h"
#include "sysutils.h"

// --- page pieces ------------------------------------------------------------------------------

namespace {

void AppendPadded(std::string& out, std::string_view text, int w, bool left) {
  if (static_cast<int>(text.size()) >= w) {
    out.append(text.substr(0, w > 0 ? w : 0));
    return;
  }
  if (left) out.append(w - text.size(), ' ');
  out.append(text);
  if (!left) out.append(w - text.size(), ' ');
}

}  // namespace

AnsiString PadLeft(const AnsiString& text, int w) {
  std::string out;
  AppendPadded(out, text.str(), w, true);
  return AnsiString(std::move(out));
}

AnsiString PadRight(const AnsiString& text, int w) {
  std::string out;
  AppendPadded(out, text.str(), w, false);
  return AnsiString(std::move(out));
}

AnsiString UpLinkPrefix(const AnsiString& base, const AnsiString& path) {
  std::string ups;
  const std::string& p = path.str();
  for (size_t i = base.Length() > 0 ? base.Length() - 1 : 0; i < p.size(); ++i)
    if (p[i] == '\\' || p[i] == '/') ups += "../";
  return AnsiString(std::move(ups));
}

namespace {

// Windows-1251 0xC0 (А) to 0xDF (Я); the small letters are the same texts
// with a small first letter.
const char* const CapitalTexts[32] = {"A_",  "B_", "V_",  "G_",  "D_",  "E_", "Zh_", "Z_", "I_",  "Y_",  "K_",
                                      "L_",  "M_", "N_",  "O_",  "P_",  "R_", "S_",  "T_", "U_",  "F_",  "Ch_",
                                      "Z_",  "Ch_", "Sh_", "Ch_", "''", "Y_", "''",  "E_", "Yu_", "Ya_"};

struct TTransliteration {
  std::string text[256];
  TTransliteration() {
    for (int b = 0; b < 256; ++b) text[b] = std::string(1, static_cast<char>(b));
    for (int i = 0; i < 32; ++i) {
      text[0xC0 + i] = CapitalTexts[i];
      std::string small = CapitalTexts[i];
      small[0] = static_cast<char>(small[0] == '\'' ? '\'' : small[0] - 'A' + 'a');
      text[0xE0 + i] = small;
    }
    text[0xA8] = "Ye_";
    text[0xB8] = "ye_";
    text[static_cast<unsigned char>('?')] = "__";
  }
};

const TTransliteration& TransliterationTable() {
  static const TTransliteration table;
  return table;
}

}  // namespace

AnsiString Transliterate(const AnsiString& name) {
  const TTransliteration& t = TransliterationTable();
  std::string out;
  out.reserve(name.Length() * 2);
  for (char c : name.str()) out += t.text[static_cast<unsigned char>(c)];
  return AnsiString(std::move(out));
}

AnsiString AlphabeticalAttributeLetters(uint8_t attributes) {
  static const struct {
    uint8_t bit;
    char letter;
  } order[] = {{eaArchive, 'A'}, {eaCompressed, 'C'}, {DamagedBit, 'E'}, {eaHidden, 'H'},
               {eaReadOnly, 'R'}, {eaSystem, 'S'},     {eaTemporary, 'T'}, {eaVolume, 'V'}};
  std::string letters;
  for (const auto& o : order)
    if (attributes & o.bit) letters += o.letter;
  return AnsiString(std::move(letters));
}

namespace {

// Byte loops: the pieces of a line are short, and a call into the runtime's
// memcpy per piece costs more under Wine than copying them here.
inline char* PutText(char* out, std::string_view text) {
  for (char c : text) *out++ = c;
  return out;
}

inline char* PutSpaces(char* out, size_t count) {
  for (; count > 0; --count) *out++ = ' ';
  return out;
}

// out needs room for six bytes per byte of text.
char* PutHtmlEscaped(char* out, std::string_view text) {
  for (char c : text) {
    // Letters above ">" and most below it are copied at once.
    if (static_cast<unsigned char>(c) > '>' || (c != '&' && c != '<' && c != '"' && c != '>')) {
      *out++ = c;
      continue;
    }
    switch (c) {
      case '&': out = PutText(out, "&amp;"); break;
      case '<': out = PutText(out, "&lt;"); break;
      case '>': out = PutText(out, "&gt;"); break;
      case '"': out = PutText(out, "&quot;"); break;
      default: *out++ = c;
    }
  }
  return out;
}

// The widths of the columns, and the room their texts take at most after
// escaping.
constexpr int ColumnWidths[5] = {12, 24, 24, 10, 30};
constexpr size_t ColumnsRoom = (12 + 24 + 24 + 10 + 30) * 6;

// The columns of an entry, each text put (plain or escaped) after its
// padding: spaces need no escaping, so escaping field by field gives the
// bytes of escaping the whole line.
template <class Put>
char* PutColumns(char* out, const ListNode* entry, Put put) {
  const AnsiString size = SizeKbText(entry->Size);
  const AnsiString letters = AlphabeticalAttributeLetters(entry->Attributes);
  const std::string_view texts[5] = {size.str(), FieldView(entry->Created), FieldView(entry->Modified), letters.str(),
                                     FieldView(entry->Comment)};
  for (int i = 0; i < 5; ++i) {
    const size_t w = ColumnWidths[i];
    const std::string_view text = texts[i];
    if (text.size() >= w) {
      out = put(out, text.substr(0, w));
    } else {
      out = PutSpaces(out, w - text.size());
      out = put(out, text);
    }
  }
  return out;
}

void AppendEntryLine(std::string& line, const ListNode* entry) {
  char buffer[ColumnsRoom];
  line.append(buffer, PutColumns(buffer, entry, PutText) - buffer);
}

// What follows the start of a page line: the escaped name, the link's end
// when it has one, the name's padding to 30 characters, the escaped columns
// and the line's end.
void AppendLineEnd(std::string& line, std::string_view name, bool closeLink, const ListNode* entry,
                   std::string_view end) {
  char buffer[sizeof(ListNode::Name) * 6 + 4 + 30 + ColumnsRoom + 16];
  char* out = PutHtmlEscaped(buffer, name.substr(0, sizeof(ListNode::Name)));
  if (closeLink) out = PutText(out, "</a>");
  if (name.size() < 30) out = PutSpaces(out, 30 - name.size());
  out = PutColumns(out, entry, PutHtmlEscaped);
  out = PutText(out, end.substr(0, 16));
  line.append(buffer, out - buffer);
}

}  // namespace

AnsiString FormatEntryLine(const ListNode* entry) {
  std::string line;
  line.reserve(100);
  AppendEntryLine(line, entry);
  return AnsiString(std::move(line));
}

void AppendHtmlEscaped(std::string& out, std::string_view text) {
  // Names and columns seldom hold a character to escape: the plain runs
  // between them go in whole.
  static const struct TSpecial {
    bool is[256] = {};
    TSpecial() { is['&'] = is['<'] = is['>'] = is['"'] = true; }
  } special;
  size_t from = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!special.is[static_cast<unsigned char>(text[i])]) continue;
    const char* reference;
    switch (text[i]) {
      case '&': reference = "&amp;"; break;
      case '<': reference = "&lt;"; break;
      case '>': reference = "&gt;"; break;
      case '"': reference = "&quot;"; break;
      default: continue;
    }
    out.append(text.data() + from, i - from);
    out += reference;
    from = i + 1;
  }
  out.append(text.data() + from, text.size() - from);
}

std::string HtmlEscape(const std::string& text) {
  std::string out;
  AppendHtmlEscaped(out, text);
  return out;
}

std::string UrlEncodePath(const std::string& ansiPath) {
  static const char hex[] = "0123456789ABCDEF";
  auto plain = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
  };
  bool ascii = true;
  for (char c : ansiPath) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  // Links name characters, not the bytes of this code page: UTF-8, as every
  // browser and server reads a percent-encoded path.
  const std::string bytes = ascii ? ansiPath : WideToAnsi(AnsiToWide(AnsiString(ansiPath)), CP_UTF8).str();
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (plain(c)) {
      out += ch;
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

THtmlTexts THtmlTexts::From(ICoreHost& host) {
  THtmlTexts t;
  for (int i = 0; i < 6; ++i) t.Columns[i] = WideToAnsi(host.LocalText(tgCommon, 13 + i));
  t.Description = WideToAnsi(host.LocalText(tgCommon, 63));
  t.Keywords = WideToAnsi(host.LocalText(tgCommon, 64));
  t.CreatedBy = WideToAnsi(host.LocalText(tgCommon, 65));
  t.Address = WideToAnsi(host.LocalText(tgCommon, 69));
  t.FileNotFound = MessageTextA(host, 1);
  t.CannotCreate = MessageTextA(host, 33);
  t.FolderWord = MessageTextA(host, 34);
  t.WriteError = MessageTextA(host, msgWriteFailed);
  return t;
}

AnsiString WriteUpLinks(const AnsiString& treePath, const AnsiString& siteTitle) {
  const std::string& tp = treePath.str();
  const size_t lastSlash = tp.rfind('/');
  const std::string last = lastSlash == std::string::npos ? std::string() : tp.substr(lastSlash + 1);
  std::string crumbs;
  for (size_t i = tp.size(); i >= 2; --i) {
    if (tp[i - 1] != '/') continue;
    const std::string prefix = tp.substr(0, i - 1);
    const size_t cut = prefix.rfind('/');
    const std::string segment = cut == std::string::npos ? prefix : prefix.substr(cut + 1);
    const AnsiString ups = UpLinkPrefix(AnsiString(prefix), treePath);
    crumbs = "<a href=\"" + ups.str() + "index.html\">" + HtmlEscape(segment) + "</a>/" + crumbs;
  }
  if (!tp.empty()) {
    const std::string parent = lastSlash == std::string::npos ? std::string() : tp.substr(0, lastSlash);
    const AnsiString ups = UpLinkPrefix(AnsiString("x"), AnsiString(parent));
    crumbs = "<a href=\"" + ups.str() + "../index.html\">" + HtmlEscape(siteTitle.str()) + "</a>/" + crumbs;
  }
  return AnsiString("<pre>" + crumbs + HtmlEscape(last) + "</pre>");
}

AnsiString WriteHtmlHead(const AnsiString& title, const AnsiString& treePath, const AnsiString& siteTitle,
                         const THtmlTexts& texts) {
  // The pages hold this system's ANSI bytes and say which code page that is.
  const std::string charset = "windows-" + std::to_string(GetACP());
  std::string head;
  head += " <!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\"> \r";
  head += "<HTML>\r";
  head += "<HEAD>\r";
  head += "<META HTTP-EQUIV='CONTENT-TYPE' CONTENT='text/html; charset=" + charset + "'>\r";
  head += "<meta name=\"Description\" content=\"" + HtmlEscape(texts.Description.str()) + "\" />\r";
  head += "<meta name=\"Keywords\" content=\"" + HtmlEscape(texts.Keywords.str()) + "\" />\r";
  head += "<TITLE>" + HtmlEscape(title.str()) + "</TITLE>\r";
  head += "<style type=\"text/css\"> BODY {} .rdl { color: red; }\r";
  head += ".blk { color: black; }\r";
  head += ".lin ( size: -1; face = arial; }\r";
  head += "</style>\r";
  head += "</HEAD>\r";
  head += "<BODY TEXT='#000000' LINK='#000080' VLINK='#800000' bgcolor=\"white\">\r";
  head = AnsiLowerBytes(head);
  head += WriteUpLinks(treePath, siteTitle).str();
  head += '\r';
  const AnsiString* c = texts.Columns;
  head += "<pre>  " + c[0].str() + std::string(21, ' ') + c[1].str() + std::string(15, ' ') + c[2].str() +
          std::string(17, ' ') + c[3].str() + std::string(6, ' ') + c[4].str() + std::string(12, ' ') + c[5].str() +
          " </pre>\r";
  return AnsiString(std::move(head));
}

AnsiString WriteHtmlFoot(const THtmlTexts& texts) {
  return AnsiString("<hr noshade>\r<span class = \"lin\"> <i>\r<center>" + HtmlEscape(texts.CreatedBy.str()) +
                    " <a href=\"" + HtmlEscape(texts.Address.str()) +
                    "\" class=\"nounderline\">Fennolit.</a></center>\r</i></span>\r<br>\r</body>\r</html>");
}

// --- the site -----------------------------------------------------------------------------------

namespace {

// An error that ends the export; Shown when its text was shown already.
class EHtmlExportError : public Exception {
public:
  EHtmlExportError(const AnsiString& message, bool shown) : Exception(message), Shown(shown) {}
  bool Shown;
};

bool IsFolder(const ListNode* node) { return node->Kind == ekFolder; }

bool DirectoryExistsW(const WideString& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

THtmlSiteWriter::THtmlSiteWriter(ICoreHost& host, IHtmlPictures& pictures, IStepProgress& steps)
    : FHost(host), FPictures(pictures), FSteps(steps), FTexts(THtmlTexts::From(host)) {}

void THtmlSiteWriter::Message(const AnsiString& text) { FHost.ShowMessage(text); }

AnsiString THtmlSiteWriter::NameOnDisk(const AnsiString& name) {
  if (name.IsEmpty()) return AnsiString();
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(AnsiToWide(siteRootPath + "\\" + name).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return AnsiString();
  FindClose(find);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return AnsiString();
  return WideToAnsi(WideString(data.cFileName));
}

const std::string& THtmlSiteWriter::PictureLinkOf(const AnsiString& name) {
  const AnsiString picture = FPictures.PictureFor(name, siteRootPath);
  // Most entries share a handful of pictures: the link of each is made once.
  const auto linked = FPictureLinks.find(picture.str());
  if (linked != FPictureLinks.end()) return linked->second;
  const std::string key = AnsiLowerBytes(picture.str());
  const auto known = FPictureNames.find(key);
  AnsiString onDisk;
  if (known != FPictureNames.end()) {
    onDisk = AnsiString(known->second);
  } else {
    onDisk = NameOnDisk(picture);
    if (onDisk.IsEmpty()) {
      // No picture of its own was written: the default one stands in, rather
      // than a link to nothing.
      const AnsiString fallback = FPictures.DefaultPicture(siteRootPath);
      onDisk = NameOnDisk(fallback);
      if (onDisk.IsEmpty()) onDisk = fallback;
    }
    FPictureNames[key] = onDisk.str();
  }
  return FPictureLinks[picture.str()] = UrlEncodePath(onDisk.str());
}

TWriteResult THtmlSiteWriter::ExportToHtmlSite(const ListNode* root, const AnsiString& target,
                                               const AnsiString& baseUrl, const AnsiString& title) {
  siteRootPath = target;
  siteBaseUrl = baseUrl;
  siteTitle = title;
  if (!siteBaseUrl.IsEmpty()) {
    const char lastChar = siteBaseUrl.str().back();
    if (lastChar == '/' || lastChar == '\\') siteBaseUrl.str().pop_back();
  }
  firstPageDone = false;
  FPageFailed = false;
  FPictureNames.clear();
  FPictureLinks.clear();
  FDepth = 0;
  FFoot = WriteHtmlFoot(FTexts).str();
  // An existing folder is written into.
  CreateDirectoryW(AnsiToWide(siteRootPath).c_str(), nullptr);
  // Every folder line shows the folder picture, whatever the site is named.
  FPictures.FolderPicture(siteRootPath);
  TWriteResult result;
  try {
    result = WriteFolderPage(root, siteRootPath, AnsiString());
  } catch (const EHtmlExportError& e) {
    if (!e.Shown) Message(e.Message());
    return TWriteResult::Failed;
  }
  if (result == TWriteResult::Done && FPageFailed) return TWriteResult::Failed;
  return result;
}

TWriteResult THtmlSiteWriter::WriteFolderPage(const ListNode* node, const AnsiString& path,
                                              const AnsiString& treePath) {
  TExportFile page;
  if (!page.CreateExclusive(AnsiToWide(path + "\\index.html"))) {
    const DWORD error = GetLastError();
    FPageFailed = true;
    Message(FTexts.FileNotFound + ": " + SysErrorMessage(error));
    return TWriteResult::Done;
  }
  page.Append(WriteHtmlHead(siteTitle + treePath, treePath, siteTitle, FTexts));
  if (!page.Flush()) {
    FPageFailed = true;
    Message(FTexts.FileNotFound + ": " + SysErrorMessage(page.LastError()));
    return TWriteResult::Done;
  }
  if (firstPageDone) page.Append(std::string("<pre><a href=\"../index.html\">...</a></pre>\r\r"));
  firstPageDone = true;

  const std::string ups = UpLinkPrefix(siteRootPath, path).str();
  const bool withBase = !siteBaseUrl.IsEmpty();
  const std::string linkBase = withBase ? HtmlEscape(siteBaseUrl.str()) + UrlEncodePath(treePath.str()) + "/" : "";
  // The sorter of each depth serves every page at that depth: a large
  // folder's lines find their room taken already.
  if (FSorters.size() <= FDepth) FSorters.push_back(std::make_unique<TSorter>());
  TSorter& sorter = *FSorters[FDepth];
  sorter.Clear();
  ++FDepth;
  struct TLeave {
    size_t& depth;
    ~TLeave() { --depth; }
  } leave{FDepth};
  // Disk names of the sub-folders so far (lower case, as the file system
  // compares them), with the page's own file and, in the site's root, the
  // pictures' names kept free.
  std::unordered_set<std::string> taken{"index.html"};
  const bool isRoot = treePath.IsEmpty();

  auto fail = [&](const char* what) {
    Message(FTexts.WriteError + what + "path = " + path + "\ntreePath = " + treePath + "\n" +
            SysErrorMessage(page.LastError()));
    Message(FTexts.FileNotFound + "\npath = " + path + "\ntreePath = " + treePath);
    throw EHtmlExportError(FTexts.WriteError, true);
  };

  try {
    std::string line;
    // The start of a file line without a base address depends on its picture
    // and colour only: made once per page for each.
    std::unordered_map<const std::string*, std::string> lineStarts[2];
    for (int i = 0; i < node->ChildCount(); ++i) {
      FSteps.Step();
      // A cancel ends the site here; the open pages end where they were.
      if (FSteps.CancelRequested()) return TWriteResult::Cancelled;
      const ListNode* child = node->Child(i);
      const std::string_view name = FieldView(child->Name);
      line.clear();
      if (!IsFolder(child)) {
        const bool damaged = child->Attributes & DamagedBit;
        const char* span = damaged ? "<span class = \"rdl\">" : "<span class=\"blk\">";
        FName.str().assign(name);
        const std::string& picture = PictureLinkOf(FName);
        if (withBase) {
          // The span opens before the link, so the link ends inside it and the
          // columns keep the entry's colour.
          line += "<pre>";
          line += span;
          line += "<a href=\"";
          line += linkBase;
          line += UrlEncodePath(std::string(name));
          line += "\"><img border=\"0\" src=\"";
          line += ups;
          line += picture;
          line += "\">";
        } else {
          std::string& start = lineStarts[damaged][&picture];
          if (start.empty()) start = "<pre><img src=\"" + ups + picture + "\">" + span;
          line += start;
        }
        AppendLineEnd(line, name, withBase, child, "</span></pre>\r");
        sorter.Insert(name, line, sorter.Files());
        continue;
      }
      // Sibling folders whose disk names would be one (transliteration, case)
      // get their own: "_2", "_3", ...
      const std::string base = Transliterate(AnsiString(name)).str();
      std::string diskName = base;
      auto clashes = [&](const std::string& candidate) {
        const std::string lower = AnsiLowerBytes(candidate);
        if (taken.count(lower)) return true;
        return isRoot && lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".jpg") == 0;
      };
      for (int n = 2; clashes(diskName); ++n) diskName = base + "_" + std::to_string(n);
      taken.insert(AnsiLowerBytes(diskName));
      line += "<pre><a href=\"";
      line += UrlEncodePath(diskName);
      line += "/index.html\"><img border=\"0\" src=\"";
      line += ups;
      line += "open.jpg\">";
      AppendLineEnd(line, name, true, child, "</pre>\r\r");
      sorter.Insert(diskName, line, sorter.Folders());
      const AnsiString childPath = path + "\\" + AnsiString(diskName);
      const WideString wideChild = AnsiToWide(childPath);
      // Made first and looked at only when that fails: a new site's folders
      // cost one call each.
      if (!CreateDirectoryW(wideChild.c_str(), nullptr) && !DirectoryExistsW(wideChild)) {
        const AnsiString error = FTexts.CannotCreate + " " + childPath + " " + FTexts.FolderWord;
        Message(error);
        throw EHtmlExportError(error, true);
      }
      const TWriteResult r = WriteFolderPage(child, childPath, treePath + "/" + AnsiString(name));
      if (r != TWriteResult::Done) return r;
    }
  } catch (const EHtmlExportError&) {
    Message(FTexts.FileNotFound + "\npath = " + path + "\ntreePath = " + treePath);
    throw;
  }

  // The rest of the page goes out in one piece (a write costs more under Wine
  // than the bytes in it); a failure names the first part not written.
  // One text buffer serves every page: the pages are ended one at a time.
  FPageText.clear();
  sorter.AppendText(sorter.Folders(), FPageText);
  const uint64_t foldersEnd = page.Position() + FPageText.size();
  sorter.AppendText(sorter.Files(), FPageText);
  const uint64_t filesEnd = page.Position() + FPageText.size();
  FPageText += FFoot;
  if (!page.Append(FPageText) || !page.Close()) {
    const uint64_t written = page.Written();
    fail(written < foldersEnd ? " (write about dirs).\n"
         : written < filesEnd ? " (write about files).\n"
                              : " (end of html file).\n");
  }
  return TWriteResult::Done;
}
