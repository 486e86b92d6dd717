// export_bench: the exports of a large list next to bare baselines measured
// in the same run, each the best of several rounds of half a second or more
// (the export's passes and its baselines' taken in turn).
// - Text and CSV exports of a 1,000,000-entry list (progress steps and the
//   paced message loop as the window has them) against a bare walk making
//   the same bytes and writing them with one buffered write loop.
// - The HTML site of a 100,000-entry list (one folder of 20,000 files among
//   folders of 1,000, so a quadratic page sorter would show) against a bare
//   walk making the same folders, pages and pictures and writing each file
//   in one piece.
// - The HTML site of a list whose one folder holds 1,000,000 files: the
//   memory the site takes beyond the list's own.
// Each export runs in a process of its own (the program starts itself
// again with the phase's name), so no phase's peak memory is carried into
// another's figure.
//
// Run: wine <build>/bench/export_bench.exe [list entries] [site entries] [one-folder files]
//      (with tools/env.sh sourced); one phase: export_bench.exe --phase text|csv|site|folder N
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "BenchFolder.h"
#include "BenchPhase.h"
#include "BenchReport.h"
#include "CoreHost.h"
#include "ExportUnits.h"
#include "FileExports.h"
#include "Uexporttohtml.h"
#include "sysutils.h"
#include "harness.h"
#include "units.h"


namespace {

double MiB(double bytes) { return bytes / 1048576.0; }

// A list of folders of `perFolder` files below the root, the first folder
// holding `bigFolder` files.
ListNode* MakeList(int entries, int perFolder, int bigFolder) {
  EntryRecord root{};
  root.Kind = ekFolder;
  ListNode* r = InsertNode(nullptr, 0, root);
  int made = 0, folderNo = 0;
  while (made < entries) {
    EntryRecord folder{};
    folder.Kind = ekFolder;
    SetFieldText(folder.Name, AnsiString("Folder " + std::to_string(folderNo)));
    ListNode* f = InsertNode(r, 1, folder);
    ++made;
    const int files = folderNo == 0 && bigFolder > 0 ? bigFolder : perFolder;
    for (int i = 0; i < files && made < entries; ++i, ++made) {
      EntryRecord file{};
      file.Kind = ekFile;
      // Reverse order of the names, the sorter's worst case for insertion.
      SetFieldText(file.Name, AnsiString("file " + std::to_string(files - i) + (i % 3 ? ".txt" : ".dat")));
      SetFieldText(file.Created, AnsiString("01.02.2003 04:05:06"), true);
      SetFieldText(file.Modified, AnsiString("07.08.2009 10:11:12"), true);
      file.Attributes = (i % 7 == 0) ? (eaArchive | DamagedBit) : eaArchive;
      file.Size = ExtendedFromUInt64(1000 + 37ull * i);
      if (i % 10 == 0) SetFieldText(file.Comment, AnsiString("checked"));
      InsertNode(f, 2, file);
    }
    ++folderNo;
  }
  return r;
}

// The window's steps: the bar's counter and a look at the message queue each
// time the percentage changes.
class BenchSteps : public IStepProgress {
public:
  explicit BenchSteps(int total) { FCounter.Total = total; }
  void Step() override {
    if (FCounter.Step()) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
  }
  bool CancelRequested() override { return false; }

private:
  TProgressCounter FCounter;
};

class BenchHost : public ICoreHost {
public:
  WideString LocalText(int, int index) override { return WideString(L"text ") + WideString(std::to_wstring(index)); }
  void ShowMessage(const AnsiString& text) override { std::printf("  message: %s\n", text.c_str()); }
  int MessageBox(const AnsiString&, const AnsiString&, UINT) override { return IDNO; }
};

class BenchPictures : public IHtmlPictures {
public:
  AnsiString PictureFor(const AnsiString& name, const AnsiString& folder) override {
    AnsiString type = ExtractFileExt(name);
    if (type.IsEmpty()) return FolderPicture(folder);
    type.Delete(1, 1);
    return Write(type + ".jpg", folder);
  }
  AnsiString FolderPicture(const AnsiString& folder) override { return Write("open.jpg", folder); }
  AnsiString DefaultPicture(const AnsiString& folder) override { return Write("def.jpg", folder); }

private:
  AnsiString Write(const AnsiString& name, const AnsiString& folder) {
    for (const std::string& w : FWritten)
      if (w == name.str()) return name;
    WriteFileBytes(AnsiToWide(folder + "\\" + name).str(), "\xFF\xD8\xFF\xD9");
    FWritten.push_back(name.str());
    return name;
  }
  std::vector<std::string> FWritten;
};

// Writes bytes to a file with one buffered loop: 64 KiB per write.
double BareWrite(const std::string& path, const std::string& bytes) {
  const double t0 = Seconds();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  for (size_t at = 0; at < bytes.size(); at += 65536) {
    DWORD written;
    WriteFile(h, bytes.data() + at, static_cast<DWORD>(std::min<size_t>(65536, bytes.size() - at)), &written, nullptr);
  }
  CloseHandle(h);
  return Seconds() - t0;
}

// An entry's size in whole KiB, halves to even, at least 1.
std::string SizeInKiB(const ListNode* n) {
  uint64_t b = ExtendedToUInt64(n->Size), q = b >> 10, r = b & 1023;
  if (r > 512 || (r == 512 && (q & 1))) ++q;
  return std::to_string(q ? q : 1);
}

// The same bytes made by the plainest walk there is: pre-order without
// recursion, every line appended to one buffer, 64 KiB per write, no steps.
double BareWalk(const std::string& path, ListNode* root, bool csv) {
  const double t0 = Seconds();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string buffer, last;
  DWORD written;
  if (csv) buffer += "header;\r\n";
  struct Item {
    const ListNode* node;
    std::string prefix;
  };
  std::vector<Item> pending;
  for (int i = root->ChildCount() - 1; i >= 0; --i) pending.push_back({root->Child(i), std::string()});
  while (!pending.empty()) {
    Item item = std::move(pending.back());
    pending.pop_back();
    const ListNode* n = item.node;
    const std::string_view name(n->Name, strnlen(n->Name, sizeof n->Name));
    if (n->Kind == ekFolder) {
      std::string child = item.prefix.empty() ? std::string(name) : item.prefix + "\\" + std::string(name);
      for (int i = n->ChildCount() - 1; i >= 0; --i) pending.push_back({n->Child(i), child});
      continue;
    }
    if (csv) {
      buffer += item.prefix;
      buffer += ';';
      buffer += name;
      buffer += ';';
      buffer += SizeInKiB(n);
      buffer += ';';
      for (const char* f : {n->Created, n->Modified}) {
        const size_t len = strnlen(f, 28);
        buffer.append(len ? f : " ", len ? len : 1);
        buffer += ';';
      }
      // The list's entries carry A, or A and the damaged mark; no need marks.
      buffer += n->Attributes & DamagedBit ? "AE;bad;;" : "A; ;;";
      const size_t len = strnlen(n->Comment, 256);
      buffer.append(len ? n->Comment : " ", len ? len : 1);
      buffer += ";\r\n";
    } else {
      if (item.prefix != last) {
        buffer += "\r\n";
        last = item.prefix;
      }
      if (n->Attributes & DamagedBit) buffer += '*';
      if (!item.prefix.empty()) {
        buffer += item.prefix;
        buffer += '\\';
      }
      buffer += name;
      buffer += "\r\n";
    }
    if (buffer.size() >= 65536) {
      WriteFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &written, nullptr);
      buffer.clear();
    }
  }
  WriteFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &written, nullptr);
  CloseHandle(h);
  return Seconds() - t0;
}

template <class Write>
void FileBench(const char* what, ListNode* root, const std::string& path, bool csv, Write write) {
  auto exportOnce = [&] {
    TExportFile out;
    out.Create(AnsiString(path));
    BenchSteps steps(CountNodes(root));
    const TWriteResult result = write(out, steps);
    const bool closed = out.Close();
    if (result != TWriteResult::Done || !closed) std::printf("  %s FAILED\n", what);
  };
  exportOnce();
  // Before the baselines hold the file's bytes in memory.
  const size_t exportPeak = PeakMemory();
  const std::string bytes = ReadFileBytes(path);
  const auto [best, walk] = BestPerPass(5, exportOnce, [&] { return BareWalk(path + ".walk", root, csv); });
  // Writing alone takes a few hundredths of a second: in turn with the export
  // it would hold the export to dozens of passes a round.
  const auto [bare] = BestPerPass(5, [&] { return BareWrite(path + ".bare", bytes); });
  const bool same = ReadFileBytes(path + ".walk") == bytes && ReadFileBytes(path) == bytes;
  std::printf("  %-5s export %7.3f s  bare walk making the same bytes, one buffered write loop %7.3f s  "
              "(%.2fx bare)\n",
              what, best, walk, best / walk);
  std::printf("        writing its %.1f MiB alone %7.3f s (%.2fx)\n", MiB(bytes.size()), bare, best / bare);
  std::printf("        peak memory %.0f MiB\n", MiB(exportPeak));
  CheckSame((std::string(what) + " export").c_str(), same);
  ReportAim((std::string(what) + " export vs its bare walk").c_str(), best / walk, 1.5);
  DeleteFileA(path.c_str());
  DeleteFileA((path + ".bare").c_str());
  DeleteFileA((path + ".walk").c_str());
}

// The text (or CSV) export of a list of `entries` entries.
void ListBench(int entries, bool csv) {
  const TempDir dir = WritingFolder();
  const size_t before = PeakMemory();
  ListNode* root = MakeList(entries, 100, 0);
  const size_t listMemory = PeakMemory() - before;
  std::printf("list of %d entries (%.0f MiB in memory)\n", entries, MiB(listMemory));
  if (csv) {
    FileBench("CSV", root, dir.File("list.csv"), true, [&](TExportFile& out, IStepProgress& steps) {
      out.Append(std::string("header;\r\n"));
      return WriteCsvRows(root->Children, out, steps, "");
    });
  } else {
    FileBench("text", root, dir.File("list.txt"), false, [&](TExportFile& out, IStepProgress& steps) {
      AnsiString last;
      return WriteTextLines(root->Children, out, steps, "", last);
    });
  }
  FreeNodeTree(root);
}

// What the site made on disk, a folder before what it holds: folders
// (without bytes) and files with their bytes.
struct SiteItem {
  std::wstring path;
  bool folder;
  std::string bytes;
};

void CollectSite(const std::wstring& folder, std::vector<SiteItem>& items) {
  items.push_back({folder, true, std::string()});
  std::vector<std::wstring> folders;
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = d.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring full = folder + L"\\" + name;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      folders.push_back(full);
    else
      items.push_back({full, false, ReadFileBytes(full)});
  } while (FindNextFileW(h, &d));
  FindClose(h);
  for (const std::wstring& f : folders) CollectSite(f, items);
}

// The baseline: the same site made by the plainest walk there is. Depth
// first without recursion, each folder is made, its children are put in
// order by their lower-cased names, its page is made in one buffer and
// written in one piece, and each file type's picture is written when first
// met. The fixed pieces of a page (the head with its breadcrumb line, the
// foot) are taken as the program makes them: a few per page, not per entry.
// The list's folder names are letters, digits and blanks, kept on disk as
// they are, and no two siblings share a name.
double BareSiteWalk(const ListNode* root, const std::wstring& site, const THtmlTexts& texts, const AnsiString& title) {
  const double t0 = Seconds();
  const unsigned char* lower = AnsiLowerTable();
  // A page's lines go in the order of their names' lower-cased bytes, a
  // shorter name before the longer ones it begins.
  auto before = [lower](const ListNode* a, const ListNode* b) {
    for (size_t i = 0; i < sizeof a->Name; ++i) {
      const unsigned char x = lower[static_cast<unsigned char>(a->Name[i])];
      const unsigned char y = lower[static_cast<unsigned char>(b->Name[i])];
      if (x != y) return x < y;
      if (x == 0) return false;
    }
    return false;
  };
  auto writeFile = [](const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
  };
  // What follows a name: its padding to 30 characters and the columns, each
  // text right-aligned in its width (a longer one cut) on a line of blanks.
  auto padAndColumns = [](std::string& out, const ListNode* n) {
    char line[30 + 100];
    std::memset(line, ' ', sizeof line);
    const size_t length = FieldView(n->Name).size();
    size_t at = length < 30 ? 30 - length : 0;
    auto put = [&](std::string_view text, size_t width) {
      const size_t shown = std::min(text.size(), width);
      std::memcpy(line + at + width - shown, text.data(), shown);
      at += width;
    };
    put(SizeInKiB(n), 12);
    put(FieldView(n->Created), 24);
    put(FieldView(n->Modified), 24);
    // The list's entries carry A, or A and the damaged mark; folders none.
    put(n->Attributes & DamagedBit ? "AE" : n->Attributes ? "A" : "", 10);
    put(FieldView(n->Comment), 30);
    out.append(line, at);
  };
  const std::string picture = "\xFF\xD8\xFF\xD9";
  std::vector<std::string> pictures;
  CreateDirectoryW(site.c_str(), nullptr);
  writeFile(site + L"\\open.jpg", picture);
  const std::string foot = WriteHtmlFoot(texts).str();
  struct Item {
    const ListNode* folder;
    std::wstring path;
    std::vector<std::string_view> names;
  };
  std::vector<Item> pending{{root, site, {}}};
  std::vector<const ListNode*> folders, files;
  std::string page;
  while (!pending.empty()) {
    const Item item = std::move(pending.back());
    pending.pop_back();
    folders.clear();
    files.clear();
    for (int i = 0; i < item.folder->ChildCount(); ++i)
      (item.folder->Child(i)->Kind == ekFolder ? folders : files).push_back(item.folder->Child(i));
    std::sort(folders.begin(), folders.end(), before);
    std::sort(files.begin(), files.end(), before);
    std::string ups, tree;
    for (std::string_view name : item.names) {
      ups += "../";
      tree += '/';
      tree += name;
    }
    page.assign(WriteHtmlHeadWith(title + AnsiString(tree), WriteUpLinks(item.names, title), texts).str());
    if (!item.names.empty()) page += "<pre><a href=\"../index.html\">...</a></pre>\r\r";
    for (const ListNode* f : folders) {
      page += "<pre><a href=\"";
      // Blanks are the only bytes of the names a link encodes.
      for (char c : FieldView(f->Name)) c == ' ' ? page += "%20" : page += c;
      page += "/index.html\"><img border=\"0\" src=\"";
      page += ups;
      page += "open.jpg\">";
      page += FieldView(f->Name);
      page += "</a>";
      padAndColumns(page, f);
      page += "</pre>\r\r";
    }
    for (const ListNode* f : files) {
      const std::string_view name = FieldView(f->Name);
      const std::string type = std::string(name.substr(name.rfind('.') + 1)) + ".jpg";
      if (std::find(pictures.begin(), pictures.end(), type) == pictures.end()) {
        writeFile(site + L"\\" + AnsiToWide(AnsiString(type)).str(), picture);
        pictures.push_back(type);
      }
      page += "<pre><img src=\"";
      page += ups;
      page += type;
      page += "\">";
      page += f->Attributes & DamagedBit ? "<span class = \"rdl\">" : "<span class=\"blk\">";
      page += name;
      padAndColumns(page, f);
      page += "</span></pre>\r";
    }
    page += foot;
    writeFile(item.path + L"\\index.html", page);
    for (size_t i = folders.size(); i-- > 0;) {
      const std::string_view name = FieldView(folders[i]->Name);
      Item child{folders[i], item.path + L"\\" + AnsiToWide(AnsiString(std::string(name))).str(), item.names};
      child.names.push_back(name);
      CreateDirectoryW(child.path.c_str(), nullptr);
      pending.push_back(std::move(child));
    }
  }
  return Seconds() - t0;
}

// Whether the site on disk holds the items (a folder's listing order is the
// file system's: compared as sets).
bool SameSite(std::vector<SiteItem> items, const std::wstring& site) {
  std::vector<SiteItem> again;
  CollectSite(site, again);
  auto byPath = [](const SiteItem& a, const SiteItem& b) { return a.path < b.path; };
  std::sort(items.begin(), items.end(), byPath);
  std::sort(again.begin(), again.end(), byPath);
  bool same = again.size() == items.size();
  for (size_t i = 0; same && i < items.size(); ++i)
    same = again[i].path == items[i].path && again[i].bytes == items[i].bytes;
  return same;
}

double ExportSite(ListNode* root, const std::string& target) {
  BenchHost host;
  BenchPictures pictures;
  BenchSteps steps(CountNodes(root));
  THtmlSiteWriter writer(host, pictures, steps);
  const double t0 = Seconds();
  const TWriteResult result = writer.ExportToHtmlSite(root, AnsiString(target), "", "Bench");
  const double t = Seconds() - t0;
  if (result != TWriteResult::Done) std::printf("  site FAILED\n");
  return t;
}

void SiteBench(int entries) {
  const TempDir dir = WritingFolder();
  const size_t before = PeakMemory();
  ListNode* root = MakeList(entries, 1000, 20000);
  const size_t listMemory = PeakMemory() - before;
  const size_t listPeak = PeakMemory();
  const std::string target = "\\\\?\\" + dir.File("site");
  const std::wstring site = AnsiToWide(AnsiString(target)).str();
  ExportSite(root, target);
  // Before the checks hold the site's bytes in memory.
  const size_t exportPeak = PeakMemory();
  std::vector<SiteItem> items;
  CollectSite(site, items);
  size_t bytes = 0, files = 0;
  for (const SiteItem& item : items) {
    bytes += item.bytes.size();
    files += !item.folder;
  }
  BenchHost host;
  const THtmlTexts texts = THtmlTexts::From(host);
  // Every pass starts from nothing, so both sides create every folder and
  // file.
  const auto [walk, best] = BestPerPass(
      5,
      [&] {
        RemoveTree(site);
        return BareSiteWalk(root, site, texts, "Bench");
      },
      [&] {
        RemoveTree(site);
        return ExportSite(root, target);
      });
  const bool sameExport = SameSite(items, site);
  RemoveTree(site);
  BareSiteWalk(root, site, texts, "Bench");
  const bool sameWalk = SameSite(items, site);
  std::printf("site of %d entries: %zu folders, %zu files, %.1f MiB\n", entries, items.size() - files, files,
              MiB(bytes));
  std::printf("  HTML  export %7.3f s  bare walk making the same folders and files, each written in one piece "
              "%7.3f s  (%.2fx bare)\n",
              best, walk, best / walk);
  std::printf("  peak memory after the export %.0f MiB (the list %.0f MiB, the export %.0f MiB beyond it; "
              "the site on disk %.0f MiB)\n",
              MiB(exportPeak), MiB(listMemory), MiB(exportPeak - listPeak), MiB(bytes));
  CheckSame("HTML site, every pass", sameExport);
  CheckSame("HTML site", sameWalk);
  ReportAim("HTML site export vs its bare walk", best / walk, 2.0);
  FreeNodeTree(root);
  RemoveTree(site);
}

// The site of a list whose one folder holds `files` files: the memory the
// export takes beyond the list, against the aim of 64 MiB.
void OneFolderBench(int files) {
  TempDir dir;
  const size_t before = PeakMemory();
  ListNode* root = MakeList(files + 1, files, files);
  const size_t listPeak = PeakMemory();
  const std::string target = "\\\\?\\" + dir.File("site");
  const double t = ExportSite(root, target);
  const size_t exportPeak = PeakMemory();
  // The page holds one line per file, in order.
  const std::wstring page = AnsiToWide(AnsiString(target + "\\Folder 0\\index.html")).str();
  HANDLE h = CreateFileW(page.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  size_t lines = 0, size = 0;
  std::vector<char> buffer(1 << 20);
  DWORD n = 0;
  while (h != INVALID_HANDLE_VALUE && ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) && n) {
    size += n;
    lines += std::count(buffer.begin(), buffer.begin() + n, '\r');
  }
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  std::printf("site of one folder of %d files: %.3f s, its page %.0f MiB\n", files, t, MiB(size));
  std::printf("  peak memory %.0f MiB (the list %.0f MiB, the export %.0f MiB beyond it)\n", MiB(exportPeak),
              MiB(listPeak - before), MiB(exportPeak - listPeak));
  // The head's lines, one per file and the foot's.
  CheckSame("one-folder page, a line per file", lines == static_cast<size_t>(files) + 23);
  ReportAim("HTML site of one large folder: memory beyond the list / 64 MiB", MiB(exportPeak - listPeak) / 64.0, 1.0);
  FreeNodeTree(root);
  RemoveTree(AnsiToWide(AnsiString(target)).str());
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc == 4 && std::strcmp(argv[1], "--phase") == 0) {
    RegisterExportUnits();
    StartUnits();
    const int count = std::atoi(argv[3]);
    if (std::strcmp(argv[2], "text") == 0) ListBench(count, false);
    if (std::strcmp(argv[2], "csv") == 0) ListBench(count, true);
    if (std::strcmp(argv[2], "site") == 0) SiteBench(count);
    if (std::strcmp(argv[2], "folder") == 0) OneFolderBench(count);
    FinishUnits();
    return BenchExitCode();
  }
  const int listEntries = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int siteEntries = argc > 2 ? std::atoi(argv[2]) : 100000;
  const int folderFiles = argc > 3 ? std::atoi(argv[3]) : 1000000;
  int failed = 0;
  if (listEntries > 0) failed |= RunPhase("text", std::to_string(listEntries));
  if (listEntries > 0) failed |= RunPhase("csv", std::to_string(listEntries));
  if (siteEntries > 0) failed |= RunPhase("site", std::to_string(siteEntries));
  if (folderFiles > 0) failed |= RunPhase("folder", std::to_string(folderFiles));
  return failed != 0 ? 1 : BenchExitCode();
}
