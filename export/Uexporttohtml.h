// The HTML-site export: one folder on disk per folder of the list, each with
// an index.html page listing its sub-folders (linked to their pages) and its
// files with a picture per file type, sizes, times, attributes and comments
// in fixed-width columns, a line of links to the enclosing folders, and
// damaged entries in red. The fixed pieces of a page are here too.
#pragma once

#include <string>
#include <memory>
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
// The head of a page: the lower-cased head elements, the breadcrumb line and
// the column titles.
AnsiString WriteHtmlHead(const AnsiString& title, const AnsiString& treePath, const AnsiString& siteTitle,
                         const THtmlTexts& texts);
AnsiString WriteHtmlFoot(const THtmlTexts& texts);

// Where the pictures of the entries come from: for an entry name, the file
// name of its picture in folder, written there when it is not yet.
class IHtmlPictures {
public:
  virtual ~IHtmlPictures() = default;
  virtual AnsiString PictureFor(const AnsiString& name, const AnsiString& folder) = 0;
  // The folder picture ("open.jpg").
  virtual AnsiString FolderPicture(const AnsiString& folder) = 0;
  // The picture of entries whose own picture could not be made ("def.jpg").
  virtual AnsiString DefaultPicture(const AnsiString& folder) = 0;
};

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
  TWriteResult WriteFolderPage(const ListNode* node, const AnsiString& path, const AnsiString& treePath);
  // The picture link of a file entry (percent-encoded): a file that exists
  // in the site's root under exactly the spelling linked.
  const std::string& PictureLinkOf(const AnsiString& name);
  void Message(const AnsiString& text);
  // The name of a file in the site root as the disk spells it; empty when
  // there is no such file.
  AnsiString NameOnDisk(const AnsiString& name);
  bool FPageFailed = false;

  ICoreHost& FHost;
  IHtmlPictures& FPictures;
  IStepProgress& FSteps;
  THtmlTexts FTexts;
  // Lower-cased picture name to the spelling written on disk.
  std::unordered_map<std::string, std::string> FPictureNames;
  // Picture name as given to its link.
  std::unordered_map<std::string, std::string> FPictureLinks;
  AnsiString FName;
  std::string FPageText;
  std::string FFoot;
  // Page sorters by folder depth.
  std::vector<std::unique_ptr<TSorter>> FSorters;
  size_t FDepth = 0;
};
