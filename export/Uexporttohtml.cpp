#include "Uexporttohtml.h"

#include <algorithm>
#include <unordered_set>

#include "LongPath.h"
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

namespace {

// The UTF-8 bytes of a character of an ANSI code page (all of them lie in
// the Basic Multilingual Plane).
size_t Utf8Bytes(wchar_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : 3; }

}  // namespace

size_t DiskNameLength(std::string_view ansiName) {
  if (std::all_of(ansiName.begin(), ansiName.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return ansiName.size();
  const WideString wide = AnsiToWide(AnsiString(ansiName));
  size_t length = 0;
  for (wchar_t c : wide.str()) length += Utf8Bytes(c);
  return length;
}

namespace {

// The start of an ANSI name whose DiskNameLength is at most room, cut between
// characters (never inside a double-byte character).
std::string NameStart(const std::string& ansiName, size_t room) {
  const std::wstring wide = AnsiToWide(AnsiString(ansiName)).str();
  size_t length = 0, keep = 0;
  for (; keep < wide.size() && length + Utf8Bytes(wide[keep]) <= room; ++keep) length += Utf8Bytes(wide[keep]);
  // A name that fits keeps its own bytes, not a round trip through UTF-16.
  if (keep == wide.size()) return ansiName;
  return WideToAnsi(WideString(wide.substr(0, keep))).str();
}

// A disk name the system does not take for another thing: "_" after a
// trailing dot or blank and after a device word.
std::string KeptApart(std::string disk) {
  // A device word, alone or before an extension, names the device whatever
  // folder it stands in.
  // Blanks before the extension do not keep the system from seeing it.
  size_t wordEnd = std::min(disk.find('.'), disk.size());
  while (wordEnd > 0 && disk[wordEnd - 1] == ' ') --wordEnd;
  const std::string word = AnsiLowerBytes(disk.substr(0, wordEnd));
  const bool device = word == "con" || word == "prn" || word == "aux" || word == "nul" ||
                      (word.size() == 4 && (word.compare(0, 3, "com") == 0 || word.compare(0, 3, "lpt") == 0) &&
                       word[3] >= '1' && word[3] <= '9');
  if (device) disk.insert(word.size(), "_");
  // The system drops a trailing dot or blank and takes "." and ".." as the
  // folder itself and its parent: such a name would write elsewhere.
  if (disk.empty() || disk.back() == '.' || disk.back() == ' ') disk += '_';
  return disk;
}

}  // namespace

AnsiString SiteFolderName(const AnsiString& name, size_t longest) {
  std::string disk = Transliterate(name).str();
  for (char& c : disk) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '"' || c == '<' || c == '>' || c == '|')
      c = '_';
  }
  std::string kept = KeptApart(disk);
  // A folder name of 86 Cyrillic letters transliterates past what a name
  // may hold: its start is kept, with room for what keeps it apart (the cut
  // may end it in a dot or make a device word of it).
  if (DiskNameLength(kept) > longest) {
    disk = NameStart(disk, longest);
    while (DiskNameLength(kept = KeptApart(disk)) > longest && !disk.empty())
      disk = NameStart(disk, DiskNameLength(disk) - 1);
  }
  return AnsiString(std::move(kept));
}

std::vector<std::string> SiblingFolderNames(const std::vector<std::string_view>& names,
                                            const std::function<bool(const std::string&)>& reserved,
                                            size_t longest) {
  std::vector<std::string> disk(names.size());
  std::vector<bool> own(names.size());
  std::unordered_set<std::string> taken;
  // First every folder that can keep its own name, then the rest numbered:
  // a literal "x_2" is never pushed aside by a generated one.
  for (size_t i = 0; i < names.size(); ++i) {
    disk[i] = SiteFolderName(AnsiString(std::string(names[i])), longest).str();
    const std::string lower = AnsiLowerBytes(disk[i]);
    own[i] = !reserved(lower) && taken.insert(lower).second;
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (own[i]) continue;
    const std::string base = disk[i];
    for (int n = 2;; ++n) {
      const std::string suffix = "_" + std::to_string(n);
      // Names cut to fit may be equal: the suffix takes the place of their
      // last characters. A numbered name ends in its suffix, never in a dot
      // or a blank, and no device word holds a "_".
      std::string candidate = NameStart(base, longest > suffix.size() ? longest - suffix.size() : 0) + suffix;
      const std::string lower = AnsiLowerBytes(candidate);
      if (reserved(lower) || !taken.insert(lower).second) continue;
      disk[i] = std::move(candidate);
      break;
    }
  }
  return disk;
}

std::string HtmlCharsetLabel(UINT cp) {
  // Labels every browser knows for the ANSI code pages there are.
  switch (cp) {
    case CP_UTF8: return "utf-8";
    case 932: return "shift_jis";
    case 936: return "gbk";
    case 949: return "euc-kr";
    case 950: return "big5";
    default: return "windows-" + std::to_string(cp);
  }
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

// The bytes HTML text must not hold as they are.
struct TSpecialBytes {
  bool is[256] = {};
  constexpr TSpecialBytes() { is['&'] = is['<'] = is['>'] = is['"'] = true; }
};
constexpr TSpecialBytes SpecialBytes;

// out needs room for six bytes per byte of text.
char* PutHtmlEscaped(char* out, std::string_view text) {
  for (char c : text) {
    // One look in a table decides for every byte.
    if (!SpecialBytes.is[static_cast<unsigned char>(c)]) {
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
  const size_t at = out.size();
  out.resize(at + text.size() * 6);
  out.resize(static_cast<size_t>(PutHtmlEscaped(out.data() + at, text) - out.data()));
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

AnsiString WriteUpLinks(const std::vector<std::string_view>& names, const AnsiString& siteTitle) {
  // The page of names[i] lies names.size() - 1 - i folders up.
  std::string crumbs = "<pre>";
  const size_t depth = names.size();
  if (depth > 0) {
    crumbs += "<a href=\"";
    for (size_t up = 0; up < depth; ++up) crumbs += "../";
    crumbs += "index.html\">";
    AppendHtmlEscaped(crumbs, siteTitle.str());
    crumbs += "</a>/";
    for (size_t i = 0; i + 1 < depth; ++i) {
      crumbs += "<a href=\"";
      for (size_t up = i + 1; up < depth; ++up) crumbs += "../";
      crumbs += "index.html\">";
      AppendHtmlEscaped(crumbs, names[i]);
      crumbs += "</a>/";
    }
    AppendHtmlEscaped(crumbs, names.back());
  }
  crumbs += "</pre>";
  return AnsiString(std::move(crumbs));
}

AnsiString WriteUpLinks(const AnsiString& treePath, const AnsiString& siteTitle) {
  std::vector<std::string_view> names;
  const std::string_view tp(treePath.str());
  for (size_t at = tp.find('/'); at != std::string_view::npos;) {
    const size_t next = tp.find('/', at + 1);
    names.push_back(tp.substr(at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1));
    at = next;
  }
  return WriteUpLinks(names, siteTitle);
}

AnsiString WriteHtmlHeadWith(const AnsiString& title, const AnsiString& upLinks, const THtmlTexts& texts) {
  // The pages hold this system's ANSI bytes and say which code page that is.
  const std::string charset = HtmlCharsetLabel(GetACP());
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
  head += upLinks.str();
  head += '\r';
  const AnsiString* c = texts.Columns;
  head += "<pre>  " + c[0].str() + std::string(21, ' ') + c[1].str() + std::string(15, ' ') + c[2].str() +
          std::string(17, ' ') + c[3].str() + std::string(6, ' ') + c[4].str() + std::string(12, ' ') + c[5].str() +
          " </pre>\r";
  return AnsiString(std::move(head));
}

AnsiString WriteHtmlHead(const AnsiString& title, const AnsiString& treePath, const AnsiString& siteTitle,
                         const THtmlTexts& texts) {
  return WriteHtmlHeadWith(title, WriteUpLinks(treePath, siteTitle), texts);
}

AnsiString WriteHtmlFoot(const THtmlTexts& texts) {
  return AnsiString("<hr noshade>\r<span class = \"lin\"> <i>\r<center>" + HtmlEscape(texts.CreatedBy.str()) +
                    " <a href=\"" + HtmlEscape(texts.Address.str()) +
                    "\" class=\"nounderline\">Fennolit.</a></center>\r</i></span>\r<br>\r</body>\r</html>");
}

// --- the site -----------------------------------------------------------------------------------

namespace {

// The error that ends the export once its messages are shown.
class EHtmlExportEnded : public Exception {
public:
  EHtmlExportEnded() : Exception(AnsiString()) {}
};

bool IsFolder(const ListNode* node) { return node->Kind == ekFolder; }

bool DirectoryExistsW(const WideString& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder made, or there already.
bool MakeFolder(const AnsiString& path) {
  const WideString wide = AnsiToWide(path);
  // Made first and looked at only when that fails: a new site's folders cost
  // one call each.
  return CreateDirectoryW(wide.c_str(), nullptr) || DirectoryExistsW(wide);
}

// Lines go to the page in pieces of about this size.
constexpr size_t LinesPiece = 64 * 1024;

}  // namespace

size_t LongestNameOn(const AnsiString& folder) {
  const WideString wide = AnsiToWide(folder);
  std::wstring volume(wide.Length() + 2, L'\0');
  DWORD longest = 0;
  if (GetVolumePathNameW(wide.c_str(), volume.data(), static_cast<DWORD>(volume.size())) &&
      GetVolumeInformationW(volume.c_str(), nullptr, 0, nullptr, &longest, nullptr, nullptr, 0) && longest > 0)
    return longest;
  return 255;
}

THtmlSiteWriter::THtmlSiteWriter(ICoreHost& host, IHtmlPictures& pictures, IStepProgress& steps)
    : FHost(host), FPictures(pictures), FSteps(steps), FTexts(THtmlTexts::From(host)) {}

void THtmlSiteWriter::Message(const AnsiString& text) { FHost.ShowMessage(text); }

AnsiString THtmlSiteWriter::Shown(const AnsiString& path) const {
  return WideToAnsi(ShownPath(AnsiToWide(path)));
}

AnsiString THtmlSiteWriter::NameOnDisk(const AnsiString& name) {
  if (name.IsEmpty()) return AnsiString();
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(AnsiToWide(siteRootPath + "\\" + name).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return AnsiString();
  FindClose(find);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return AnsiString();
  return WideToAnsi(WideString(data.cFileName));
}

const std::string& THtmlSiteWriter::PictureLinkOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  const std::string_view type = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
  const unsigned char* lower = AnsiLowerTable();
  auto sameType = [&](const std::string& known) {
    if (known.size() != type.size()) return false;
    for (size_t i = 0; i < type.size(); ++i)
      if (static_cast<unsigned char>(known[i]) != lower[static_cast<unsigned char>(type[i])]) return false;
    return true;
  };
  // Neighbours often share their type: no copy for them.
  if (FLastTypeLink && sameType(FLastType)) return *FLastTypeLink;
  FType.clear();
  for (char c : type) FType += static_cast<char>(lower[static_cast<unsigned char>(c)]);
  auto ask = [&]() -> const std::string& {
    FName.str().assign(name);
    return PictureLinkOfPicture(FPictures.PictureFor(FName, siteRootPath));
  };
  if (FType == ".exe" || FType == ".ico") return ask();
  const auto known = FTypeLinks.find(FType);
  const std::string& link = known != FTypeLinks.end() ? *known->second : ask();
  if (known == FTypeLinks.end()) FTypeLinks.emplace(FType, &link);
  FLastType = FType;
  FLastTypeLink = &link;
  return link;
}

const std::string& THtmlSiteWriter::PictureLinkOfPicture(const AnsiString& picture) {
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
  FTypeLinks.clear();
  FLastTypeLink = nullptr;
  FOpen.clear();
  FFoot = WriteHtmlFoot(FTexts).str();
  // An existing folder is written into; one that cannot be made is the
  // failure to report, not the pages that would follow from it.
  if (!MakeFolder(siteRootPath)) {
    Message(FTexts.CannotCreate + " " + Shown(siteRootPath) + " " + FTexts.FolderWord);
    return TWriteResult::Failed;
  }
  FLongestName = LongestNameOn(siteRootPath);
  FPath = siteRootPath;
  FTreePath = AnsiString();
  FResult = TWriteResult::Done;
  try {
    // Every folder line shows the folder picture, whatever the site is named.
    FFolderLink = PictureLinkOfPicture(FPictures.FolderPicture(siteRootPath));
    if (BeginPage(root)) {
      TSiteWalk walk{*this};
      // The root's page ends when the walk does; a walk ended early leaves
      // the open pages as they are.
      if (WalkEntries(root->Children, '/', walk)) FinishPage(FOpen.back());
    }
  } catch (const EHtmlExportEnded&) {
    FResult = TWriteResult::Failed;
  } catch (const EHtmlPictureNotWritten& e) {
    // Pages would show a picture that is not there: no site is complete
    // without it.
    Message(EndMessage(FTexts.WriteError + ": " + Shown(e.Path) + "\n" + SysErrorMessage(e.Error), false));
    FResult = TWriteResult::Failed;
  }
  FPage.Close();
  FOpen.clear();
  FLines = std::string();
  if (FResult == TWriteResult::Done && FPageFailed) return TWriteResult::Failed;
  return FResult;
}

TWalkStep THtmlSiteWriter::TSiteWalk::Entry(const ListNode* child, const std::string&) {
  THtmlSiteWriter& w = Writer;
  // The page of the entry's folder is the deepest open one.
  TOpenPage& page = w.FOpen.back();
  const int32_t serial = page.next++;
  w.FSteps.Step();
  // A cancel ends the site here; the open pages keep what they have.
  if (w.FSteps.CancelRequested()) {
    w.FResult = TWriteResult::Cancelled;
    return TWalkStep::Stop;
  }
  const std::string_view name = FieldView(child->Name);
  if (!IsFolder(child)) {
    page.files.push_back(
        {SortHead(name), child, &w.PictureLinkOf(name), serial, static_cast<uint32_t>(name.size())});
    return TWalkStep::Go;
  }
  const uint32_t diskAt = page.foldersSeen == 0 ? 0 : page.diskEnds[page.foldersSeen - 1];
  const uint32_t diskLength = page.diskEnds[page.foldersSeen] - diskAt;
  ++page.foldersSeen;
  const std::string_view disk = std::string_view(page.diskNames).substr(diskAt, diskLength);
  page.folders.push_back({SortHead(disk), serial, diskAt, diskLength});
  w.FPath.str() += '\\';
  w.FPath.str() += disk;
  if (!MakeFolder(w.FPath)) w.Fail(w.FTexts.CannotCreate + " " + w.Shown(w.FPath) + " " + w.FTexts.FolderWord);
  // Only the deepest open page keeps its file open: the parent's is written
  // again when it ends.
  if (w.FPage.IsOpen()) {
    w.FPage.Close();
    page.closed = true;
  }
  w.FTreePath.str() += '/';
  w.FTreePath.str() += name;
  if (w.BeginPage(child)) return TWalkStep::Go;
  // No page, so nothing below it: the walk passes its entries by.
  w.FPath.str().resize(page.pathLength);
  w.FTreePath.str().resize(page.treeLength);
  return TWalkStep::Skip;
}

bool THtmlSiteWriter::TSiteWalk::LeaveFolder(const ListNode*, const std::string&) {
  THtmlSiteWriter& w = Writer;
  w.FinishPage(w.FOpen.back());
  w.FOpen.pop_back();
  w.FPath.str().resize(w.FOpen.back().pathLength);
  w.FTreePath.str().resize(w.FOpen.back().treeLength);
  return true;
}

void THtmlSiteWriter::AppendPageHead(bool withUpLine) {
  std::vector<std::string_view> names;
  names.reserve(FOpen.size());
  for (size_t i = 1; i < FOpen.size(); ++i) names.push_back(FieldView(FOpen[i].node->Name));
  FPage.Append(WriteHtmlHeadWith(siteTitle + FTreePath, WriteUpLinks(names, siteTitle), FTexts));
  if (withUpLine) FPage.Append(std::string("<pre><a href=\"../index.html\">...</a></pre>\r\r"));
}

bool THtmlSiteWriter::BeginPage(const ListNode* node) {
  if (!FPage.CreateExclusive(AnsiToWide(FPath + "\\index.html"))) {
    const DWORD error = GetLastError();
    FPageFailed = true;
    Message(FTexts.FileNotFound + ": " + SysErrorMessage(error));
    return false;
  }
  TOpenPage& page = FOpen.emplace_back();
  page.node = node;
  page.pathLength = FPath.Length();
  page.treeLength = FTreePath.Length();
  AppendPageHead(false);
  if (!FPage.Flush()) {
    const DWORD error = FPage.LastError();
    FPage.Close();
    FOpen.pop_back();
    FPageFailed = true;
    Message(FTexts.FileNotFound + ": " + SysErrorMessage(error));
    return false;
  }
  page.closed = false;
  if (firstPageDone) FPage.Append(std::string("<pre><a href=\"../index.html\">...</a></pre>\r\r"));
  firstPageDone = true;

  // The disk names of the sub-folders are chosen before the first of them is
  // made: each knows every sibling's. The page's own file and, in the site's
  // root, the pictures' names are kept free.
  std::vector<std::string_view> folderNames;
  for (int i = 0; i < node->ChildCount(); ++i)
    if (IsFolder(node->Child(i))) folderNames.push_back(FieldView(node->Child(i)->Name));
  // A record per entry, the room made once: a folder of a million files
  // takes no more than its records.
  page.files.reserve(node->ChildCount() - folderNames.size());
  if (folderNames.empty()) return true;
  page.folders.reserve(folderNames.size());
  const bool isRoot = FOpen.size() == 1;
  const std::vector<std::string> disk = SiblingFolderNames(
      folderNames,
      [&](const std::string& lower) {
        if (lower == "index.html") return true;
        return isRoot && lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".jpg") == 0;
      },
      FLongestName);
  page.diskEnds.reserve(disk.size());
  for (const std::string& d : disk) {
    page.diskNames += d;
    page.diskEnds.push_back(static_cast<uint32_t>(page.diskNames.size()));
  }
  return true;
}

AnsiString THtmlSiteWriter::EndMessage(const AnsiString& first, bool namesPage) const {
  // One box, however deep the site: a box per open page would keep the user
  // answering thousands of them.
  std::string text = first.str();
  auto page = [&](const TOpenPage& open) {
    text += "\n\npath = ";
    text += Shown(AnsiString(FPath.str().substr(0, open.pathLength))).str();
    text += "\ntreePath = ";
    text.append(FTreePath.str(), 0, open.treeLength);
  };
  if (!FOpen.empty() && !namesPage) page(FOpen.back());
  if (FOpen.size() > 1) page(FOpen.front());
  return AnsiString(std::move(text));
}

void THtmlSiteWriter::Fail(const AnsiString& first, bool namesPage) {
  Message(EndMessage(first, namesPage));
  throw EHtmlExportEnded();
}

void THtmlSiteWriter::FinishPage(TOpenPage& page) {
  // The page's own path and tree path: a sub-folder's may still be appended.
  FPath.str().resize(page.pathLength);
  FTreePath.str().resize(page.treeLength);
  DWORD openError = 0;
  if (page.closed) {
    if (FPage.CreateExclusive(AnsiToWide(FPath + "\\index.html")))
      AppendPageHead(FOpen.size() > 1);
    else
      openError = GetLastError();
  }
  const std::string ups = UpLinkPrefix(siteRootPath, FPath).str();
  const bool withBase = !siteBaseUrl.IsEmpty();
  const std::string linkBase =
      withBase ? HtmlEscape(siteBaseUrl.str()) + UrlEncodePath(FTreePath.str()) + "/" : std::string();
  const ListNode* node = page.node;
  uint64_t foldersEnd = UINT64_MAX, filesEnd = UINT64_MAX;
  FLines.clear();
  auto put = [&] {
    if (FLines.size() < LinesPiece) return true;
    const bool ok = FPage.Append(FLines);
    FLines.clear();
    return ok;
  };
  bool ok = openError == 0;

  SortByKey(page.folders, [&](const TFolderLine& f) {
    return std::string_view(page.diskNames).substr(f.diskAt, f.diskLength);
  });
  for (size_t i = 0; ok && i < page.folders.size(); ++i) {
    const TFolderLine& f = page.folders[i];
    const ListNode* child = node->Child(f.serial);
    FLines += "<pre><a href=\"";
    FLines += UrlEncodePath(page.diskNames.substr(f.diskAt, f.diskLength));
    FLines += "/index.html\"><img border=\"0\" src=\"";
    FLines += ups;
    FLines += FFolderLink;
    FLines += "\">";
    AppendLineEnd(FLines, FieldView(child->Name), true, child, "</pre>\r\r");
    ok = put();
  }
  std::vector<TFolderLine>().swap(page.folders);
  if (ok) foldersEnd = FPage.Position() + FLines.size();

  SortByKey(page.files, [](const TFileLine& f) { return std::string_view(f.entry->Name, f.nameLength); });
  // The start of a file line without a base address depends on its picture
  // and colour only: made once per page for each.
  struct TLineStart {
    const std::string* picture;
    bool damaged;
    std::string text;
  };
  std::vector<TLineStart> lineStarts;
  for (size_t i = 0; ok && i < page.files.size(); ++i) {
    const TFileLine& f = page.files[i];
    const ListNode* child = f.entry;
    const std::string_view name(child->Name, f.nameLength);
    const bool damaged = child->Attributes & DamagedBit;
    const char* span = damaged ? "<span class = \"rdl\">" : "<span class=\"blk\">";
    if (withBase) {
      // The span opens before the link, so the link ends inside it and the
      // columns keep the entry's colour.
      FLines += "<pre>";
      FLines += span;
      FLines += "<a href=\"";
      FLines += linkBase;
      FLines += UrlEncodePath(std::string(name));
      FLines += "\"><img border=\"0\" src=\"";
      FLines += ups;
      FLines += *f.picture;
      FLines += "\">";
    } else {
      auto start = std::find_if(lineStarts.begin(), lineStarts.end(),
                                [&](const TLineStart& s) { return s.picture == f.picture && s.damaged == damaged; });
      if (start == lineStarts.end())
        start = lineStarts.insert(lineStarts.end(),
                                  {f.picture, damaged, "<pre><img src=\"" + ups + *f.picture + "\">" + span});
      FLines += start->text;
    }
    AppendLineEnd(FLines, name, withBase, child, "</span></pre>\r");
    ok = put();
  }
  std::vector<TFileLine>().swap(page.files);
  if (ok) filesEnd = FPage.Position() + FLines.size();

  // The rest of the page goes out in one piece; a failure names the first
  // part not written.
  FLines += FFoot;
  if (ok) ok = FPage.Append(FLines);
  FLines.clear();
  if (FLines.capacity() > 4 * LinesPiece) FLines = std::string();
  if (!FPage.Close()) ok = false;
  if (!ok) {
    const uint64_t written = openError ? 0 : FPage.Written();
    const DWORD error = openError ? openError : FPage.LastError();
    Fail(FTexts.WriteError +
             (written < foldersEnd ? " (write about dirs).\n"
              : written < filesEnd ? " (write about files).\n"
                                   : " (end of html file).\n") +
             "path = " + Shown(FPath) + "\ntreePath = " + FTreePath + "\n" + SysErrorMessage(error),
         true);
  }
}
