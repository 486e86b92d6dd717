// The HTML-site export: one folder on disk per folder of the list, each with
// an index.html page listing its sub-folders (linked to their pages) and its
// files with a picture per file type, sizes, times, attributes and comments
// in fixed-width columns, a line of links to the enclosing folders, and
// damaged entries in red. The fixed pieces of a page are here too.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "CoreHost.h"
#include "ExportFile.h"
#include "FileExports.h"
#include "ListNode.h"
#include "Usorter.h"

// --- page pieces

// Spaces in front of (PadLeft) or after (PadRight) a text up to width w; a
// longer text is cut to its first w characters.
AnsiString PadLeft(const AnsiString& text, int w);
AnsiString PadRight(const AnsiString& text, int w);
// One "../" per "\" or "/" of path at the 1-based positions length(base) to
// length(path).
AnsiString UpLinkPrefix(const AnsiString& base, const AnsiString& path);
// A folder name as the site's disk folder is named: Cyrillic letters of
// windows-1251 to Latin letters with "_", "?" to "__", the rest unchanged.
AnsiString Transliterate(const AnsiString& name);
// The disk name of a list folder: its transliteration made a name the system
// keeps inside the parent folder. Characters no file name may hold ("\", "/",
// ":", "*", '"', "<", ">", "|" and control characters) become "_"; a name
// that is empty or ends in a dot or a blank ("." and ".." too) and a device
// name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with any extension)
// get "_" after the name, respectively after the device word. A name longer
// than longest (counted by DiskNameLength) keeps its start, cut to fit.
AnsiString SiteFolderName(const AnsiString& name, size_t longest);
// The disk names of sibling folders, in their order: each keeps its own
// SiteFolderName when no earlier sibling's took it (compared in lower case,
// as the file system does); the rest get "_2", "_3", ... skipping every name
// a sibling takes, the start cut where the suffix would not fit in longest.
// reserved(lowerCaseName) tells names kept for other files.
std::vector<std::string> SiblingFolderNames(const std::vector<std::string_view>& names,
                                            const std::function<bool(const std::string&)>& reserved,
                                            size_t longest);
// The length of an ANSI name as the disk counts it against its longest name:
// its UTF-8 bytes, which a Unix file system under Wine counts, and which are
// never fewer than the UTF-16 units Windows counts.
size_t DiskNameLength(std::string_view ansiName);
// The longest name the volume of an existing folder keeps, as the volume
// says; 255 where it says nothing.
size_t LongestNameOn(const AnsiString& folder);
// The charset label a page declares for the bytes of ANSI code page cp.
std::string HtmlCharsetLabel(UINT cp);
// Size, created, modified, attribute letters (alphabetical) and comment,
// right-aligned in 12, 24, 24, 10 and 30 characters.
AnsiString FormatEntryLine(const ListNode* entry);
// Attribute letters in alphabetical order (A C E H R S T V).
AnsiString AlphabeticalAttributeLetters(uint8_t attributes);
// Text as HTML shows it: & < > and " as character references.
std::string HtmlEscape(const std::string& text);
void AppendHtmlEscaped(std::string& out, std::string_view text);
// A link path: every byte but letters, digits, "-._~" and "/" percent-encoded,
// characters outside ASCII as their UTF-8 bytes.
std::string UrlEncodePath(const std::string& ansiPath);

// The texts a page takes from the localisation tables (ANSI).
struct THtmlTexts {
  AnsiString Columns[6];  // common texts 13 to 18
  AnsiString Description; // 63
  AnsiString Keywords;    // 64
  AnsiString CreatedBy;   // 65
  AnsiString Address;     // 69
  AnsiString FileNotFound;   // message 1
  AnsiString CannotCreate;   // message 33
  AnsiString FolderWord;     // message 34
  AnsiString WriteError;     // message 36
  static THtmlTexts From(ICoreHost& host);
};

// The breadcrumb line of a page at treePath ("/A/B"): links to every
// enclosing page, the first labelled with the site's title.
AnsiString WriteUpLinks(const AnsiString& treePath, const AnsiString& siteTitle);
// The same from the names of the folders down to the page (a name may hold a
// "/" of its own).
AnsiString WriteUpLinks(const std::vector<std::string_view>& names, const AnsiString& siteTitle);
// The head of a page: the lower-cased head elements, the breadcrumb line and
// the column titles.
AnsiString WriteHtmlHead(const AnsiString& title, const AnsiString& treePath, const AnsiString& siteTitle,
                         const THtmlTexts& texts);
// The head with a breadcrumb line made already.
AnsiString WriteHtmlHeadWith(const AnsiString& title, const AnsiString& upLinks, const THtmlTexts& texts);
AnsiString WriteHtmlFoot(const THtmlTexts& texts);

// Where the pictures of the entries come from: for an entry name, the file
// name of its picture in folder, written there when it is not yet. A picture
// that cannot be written raises EHtmlPictureNotWritten.
class IHtmlPictures {
public:
  virtual ~IHtmlPictures() = default;
  virtual AnsiString PictureFor(const AnsiString& name, const AnsiString& folder) = 0;
  // The folder picture ("open.jpg").
  virtual AnsiString FolderPicture(const AnsiString& folder) = 0;
  // The picture of entries whose own picture could not be made ("def.jpg").
  virtual AnsiString DefaultPicture(const AnsiString& folder) = 0;
};

// A picture of the site that could not be written: its path and the
// system's error. The site ends with it.
class EHtmlPictureNotWritten : public Exception {
public:
  EHtmlPictureNotWritten(const AnsiString& path, DWORD error) : Exception(path), Path(path), Error(error) {}
  AnsiString Path;
  DWORD Error;
};

// Writes a site without calling itself per folder level: the folders whose
// pages are open stand on an explicit stack, so no depth of the list ends the
// program. A page is written whole once its sub-folders' pages are: only the
// deepest open page holds its file open, and a page keeps one small record
// per entry (its line is made as it is written), so a folder of a million
// files costs tens of megabytes, not the page's size.
class THtmlSiteWriter {
public:
  THtmlSiteWriter(ICoreHost& host, IHtmlPictures& pictures, IStepProgress& steps);

  // Writes the site of root into the folder target ("\\?\" + a full path).
  // Failures are shown as messages; the result says how the export ended.
  TWriteResult ExportToHtmlSite(const ListNode* root, const AnsiString& target, const AnsiString& baseUrl,
                                const AnsiString& title);

  AnsiString siteRootPath;
  AnsiString siteBaseUrl;
  AnsiString siteTitle;
  bool firstPageDone = false;

private:
  // A file's line: made when the page is written, from the entry and its
  // picture link. serial orders equal keys.
  struct TFileLine {
    uint64_t head;
    const ListNode* entry;
    const std::string* picture;
    int32_t serial;
    uint32_t nameLength;
  };
  // A sub-folder's line, its disk name in the page's diskNames.
  struct TFolderLine {
    uint64_t head;
    int32_t serial;
    uint32_t diskAt, diskLength;
  };
  // A folder whose page is begun and not yet written.
  struct TOpenPage {
    const ListNode* node;
    int next = 0;                 // the next child's index
    size_t pathLength = 0;        // of FPath and FTreePath at this page
    size_t treeLength = 0;
    bool closed = false;          // its file was closed for a sub-folder's
    std::vector<TFileLine> files;
    std::vector<TFolderLine> folders;
    std::string diskNames;        // of the sub-folders, in list order
    std::vector<uint32_t> diskEnds;
    int foldersSeen = 0;
  };
  // The site's side of the walk over the list's entries: a file entry is
  // recorded on its folder's page; a folder's disk folder and page are made
  // and its entries walked; a folder left has its page written.
  struct TSiteWalk {
    THtmlSiteWriter& Writer;
    TWalkStep Entry(const ListNode* entry, const std::string& path);
    bool LeaveFolder(const ListNode* folder, const std::string& path);
  };
  // Creates the page of node in FPath and writes its head; false (with the
  // message shown) when it cannot be.
  bool BeginPage(const ListNode* node);
  // Writes the lines and the foot of the top page and closes it. Throws
  // after message 36 when that fails.
  void FinishPage(TOpenPage& page);
  void AppendPageHead(bool withUpLine);
  // The one message of a failure that ends the site: its text, then the
  // disk and tree paths of the page being written (unless the text names it
  // already) and of the root page.
  AnsiString EndMessage(const AnsiString& first, bool namesPage) const;
  // Shows EndMessage and ends the export.
  [[noreturn]] void Fail(const AnsiString& first, bool namesPage = false);
  // The picture link of a file entry (percent-encoded): a file that exists
  // in the site's root under exactly the spelling linked. One look-up per
  // file type (its extension); program and icon files carry their own
  // pictures and are asked each time.
  const std::string& PictureLinkOf(std::string_view name);
  const std::string& PictureLinkOfPicture(const AnsiString& picture);
  void Message(const AnsiString& text);
  AnsiString Shown(const AnsiString& path) const;
  // The name of a file in the site root as the disk spells it; empty when
  // there is no such file.
  AnsiString NameOnDisk(const AnsiString& name);
  bool FPageFailed = false;
  TWriteResult FResult = TWriteResult::Done;
  // The longest disk name of a folder the site's volume keeps.
  size_t FLongestName = 255;
  // The link of the folder picture, as the pictures named it.
  std::string FFolderLink;

  ICoreHost& FHost;
  IHtmlPictures& FPictures;
  IStepProgress& FSteps;
  THtmlTexts FTexts;
  // Lower-cased picture name to the spelling written on disk.
  std::unordered_map<std::string, std::string> FPictureNames;
  // Picture name as given to its link.
  std::unordered_map<std::string, std::string> FPictureLinks;
  // Lower-cased extension to its picture link, and the last one found:
  // neighbours often share their type.
  std::unordered_map<std::string, const std::string*> FTypeLinks;
  std::string FType, FLastType;
  const std::string* FLastTypeLink = nullptr;
  AnsiString FName;
  std::string FFoot;
  // The open pages, the root first; the disk path and tree path of the top
  // one (each page's are the first pathLength / treeLength bytes).
  std::deque<TOpenPage> FOpen;
  AnsiString FPath;
  AnsiString FTreePath;
  // The file of the top page while it is open.
  TExportFile FPage;
  // Lines made for the page being written, written out in pieces.
  std::string FLines;
};
